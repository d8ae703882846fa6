#pragma once
// Character classes over the UTF-8 source, and the few UTF-8 steps the scanner needs.
// The source is always valid UTF-8 (the parser repairs it first), so decoding never
// has to report an error.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace markdown {

class MDCharacterSet {
 public:
  // Exactly the given ASCII characters; with `alphanumerics`, also every letter, mark
  // and number (ASCII or not).
  explicit MDCharacterSet(std::string_view ascii, bool alphanumerics = false);

  // Space, tab and the other horizontal separators (never a line break).
  static const MDCharacterSet& whitespace();
  // Letters, marks and numbers.
  static const MDCharacterSet& alphanumeric();

  bool contains(char32_t c) const {
    if (c < 128) return ascii_[c];
    return unicodeClass_ == UnicodeClass::Alphanumeric ? isAlphanumeric(c)
           : unicodeClass_ == UnicodeClass::Whitespace ? isWhitespace(c)
                                                         : false;
  }

  static bool isAlphanumeric(char32_t c);
  static bool isWhitespace(char32_t c);

 private:
  enum class UnicodeClass : uint8_t { None, Alphanumeric, Whitespace };
  MDCharacterSet() = default;
  std::array<bool, 128> ascii_{};
  UnicodeClass unicodeClass_ = UnicodeClass::None;
};

// The characters a backslash escapes: "\\`*_{}[]()#+-.!>".
inline bool isBackslashEscapable(unsigned char c) {
  return std::string_view("\\`*_{}[]()#+-.!>").find(static_cast<char>(c)) != std::string_view::npos;
}

namespace utf8 {

// The code point that starts at `at` and the number of bytes it takes.
char32_t decode(std::string_view text, size_t at, size_t* length);
// Where the code point that ends at `at` starts (never before `lower`).
size_t previousStart(std::string_view text, size_t at, size_t lower);
// Appends the UTF-8 form of one code point.
void append(std::string& out, char32_t c);
// The length of the well-formed sequence that starts at `at` (shortest form, no
// surrogates, at most U+10FFFF), or 0 when the bytes there are not one.
size_t validLength(std::string_view text, size_t at);

// Where the text from `start` to `end` ends without its trailing whitespace.
size_t endWithoutTrailingWhitespace(std::string_view text, size_t start, size_t end);

}  // namespace utf8

}  // namespace markdown
