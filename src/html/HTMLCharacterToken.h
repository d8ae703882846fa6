#pragma once
// A run of characters. The tree builder splits off leading white space (tab, line
// feed, form feed, space) where the rules treat it apart.
#include <optional>

#include "html/HTMLString.h"

namespace html {

class HTMLCharacterToken {
 public:
  HTMLCharacterToken() = default;
  explicit HTMLCharacterToken(String string) : string_(std::move(string)) {}

  const String& string() const { return string_; }

  // The leading white space; nothing when the text does not begin with it; the whole
  // token when it is all white space (or empty).
  std::optional<HTMLCharacterToken> leadingWhitespaceToken() const;
  // The text from its first non-white-space character; nothing when there is none.
  std::optional<HTMLCharacterToken> afterLeadingWhitespaceToken() const;

  bool operator==(const HTMLCharacterToken& other) const { return string_ == other.string_; }
  size_t hash() const;
  String description() const;

 private:
  size_t leadingWhitespaceLength() const;

  String string_;
};

}  // namespace html
