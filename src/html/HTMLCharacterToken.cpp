#include "html/HTMLCharacterToken.h"

#include <functional>

#include "html/HTMLCodePoints.h"
#include "html/HTMLTokenDescription.h"

namespace html {

size_t HTMLCharacterToken::leadingWhitespaceLength() const {
  size_t n = 0;
  while (n < string_.size() && is_whitespace(string_[n])) ++n;
  return n;
}

std::optional<HTMLCharacterToken> HTMLCharacterToken::leadingWhitespaceToken() const {
  size_t n = leadingWhitespaceLength();
  if (n == string_.size()) return *this;
  if (n == 0) return std::nullopt;
  return HTMLCharacterToken(string_.substr(0, n));
}

std::optional<HTMLCharacterToken> HTMLCharacterToken::afterLeadingWhitespaceToken() const {
  size_t n = leadingWhitespaceLength();
  if (n == string_.size()) return std::nullopt;
  if (n == 0) return *this;
  return HTMLCharacterToken(string_.substr(n));
}

size_t HTMLCharacterToken::hash() const { return std::hash<String>{}(string_); }

String HTMLCharacterToken::description() const {
  return tokenDescription("HTMLCharacterToken", this, u"'" + string_ + u"'", false);
}

}  // namespace html
