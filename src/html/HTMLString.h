#pragma once
// The library's text is UTF-16, as the documents it models count positions and lengths
// in UTF-16 units and keep lone surrogates from the input. UTF-8 (the rest of the
// system's string form) goes in and out through the two converters here.
#include <cstdint>
#include <string>
#include <string_view>

namespace html {

using String = std::u16string;
using StringView = std::u16string_view;

// A code point as the tokenizer reads it; EOFCodePoint stands for the end of input.
using CodePoint = uint32_t;
inline constexpr CodePoint EOFCodePoint = 0xFFFFFFFF;

// Invalid UTF-8 becomes U+FFFD, one per maximal invalid subsequence.
String fromUTF8(std::string_view utf8);
// A lone surrogate becomes U+FFFD.
std::string toUTF8(StringView text);

inline bool isASCIIUpper(char16_t c) { return c >= u'A' && c <= u'Z'; }
inline bool isASCIILower(char16_t c) { return c >= u'a' && c <= u'z'; }
inline bool isASCIIAlpha(char16_t c) { return isASCIIUpper(c) || isASCIILower(c); }
inline bool isASCIIDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
inline bool isASCIIHexDigit(char16_t c) {
  return isASCIIDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}
inline char16_t toASCIILower(char16_t c) { return isASCIIUpper(c) ? char16_t(c + 32) : c; }

String asciiLowercase(StringView text);
bool equalsIgnoringASCIICase(StringView a, StringView b);
// Whether `text` begins with `prefix`, exactly.
inline bool startsWith(StringView text, StringView prefix) {
  return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

// Space, tab, line feed, carriage return and form feed: the white space of selectors,
// class lists and character tokens in the tree builder.
inline bool isHTMLWhitespace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

// Replaces every occurrence of `from` by `to`, left to right, without rescanning what
// was put in.
void replaceAll(String& text, StringView from, StringView to);

}  // namespace html
