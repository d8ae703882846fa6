#include "html/HTMLPreprocessedInputStream.h"

#include <limits>

namespace html {

CodePoint HTMLPreprocessedInputStream::nextInputCharacterAndConsume(bool consume) {
  // 1. A character put back is delivered again, unreported.
  if (reconsume_) {
    if (consume) reconsume_ = false;
    return currentInputCharacter_;
  }

  // 2. The end gives EOF; a NUL inside the text is an ordinary character.
  CodePoint c = EOFCodePoint;
  size_t length = 0;
  if (scanLocation_ < string_.size()) {
    c = string_[scanLocation_];
    length = 1;
    if (c >= 0xDC00 && c <= 0xDFFF) {
      // 3.
      report("Isloated trail surrogate");
    } else if (c >= 0xD800 && c <= 0xDBFF) {
      // 4.
      char16_t next = scanLocation_ + 1 < string_.size() ? string_[scanLocation_ + 1] : 0;
      if (next >= 0xDC00 && next <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00);
        length = 2;
      } else {
        report("Isolated lead surrogate");
      }
    } else if (c == '\r') {
      // 5.
      c = '\n';
      if (scanLocation_ + 1 < string_.size() && string_[scanLocation_ + 1] == u'\n') length = 2;
    }
    // 6.
    if (is_undefined_or_disallowed(c)) report("Noncharacter or disallowed control character");
  }

  // 7.
  if (consume) {
    scanLocation_ += length;
    currentInputCharacter_ = c;
  }
  return c;
}

bool HTMLPreprocessedInputStream::consumeString(StringView string, bool matchingCase) {
  if (string_.size() - scanLocation_ < string.size()) return false;
  StringView here(string_.data() + scanLocation_, string.size());
  bool matches = matchingCase ? here == string : equalsIgnoringASCIICase(here, string);
  if (matches) scanLocation_ += string.size();
  return matches;
}

bool HTMLPreprocessedInputStream::consumeHexInt(uint32_t* result) {
  size_t at = scanLocation_;
  const size_t length = string_.size();
  if (at >= length || !isASCIIHexDigit(string_[at])) return false;
  // "0x" reads as a prefix when a digit follows it.
  if (string_[at] == u'0' && at + 2 < length && (string_[at + 1] == u'x' || string_[at + 1] == u'X') &&
      isASCIIHexDigit(string_[at + 2])) {
    at += 2;
  }
  uint64_t value = 0;
  for (; at < length && isASCIIHexDigit(string_[at]); ++at) {
    char16_t d = string_[at];
    unsigned digit = isASCIIDigit(d) ? d - u'0' : (toASCIILower(d) - u'a' + 10);
    if (value <= 0xFFFFFFFFull) value = value * 16 + digit;
  }
  scanLocation_ = at;
  if (result) *result = value > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(value);
  return true;
}

bool HTMLPreprocessedInputStream::consumeUnsignedInt(uint32_t* result) {
  size_t at = scanLocation_;
  const size_t length = string_.size();
  if (at < length && string_[at] == u'-') return false;
  if (at >= length || !isASCIIDigit(string_[at])) return false;
  uint64_t value = 0;
  const uint64_t limit = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  for (; at < length && isASCIIDigit(string_[at]); ++at) {
    unsigned digit = string_[at] - u'0';
    value = value > (limit - digit) / 10 ? limit : value * 10 + digit;
  }
  scanLocation_ = at;
  if (result) *result = value > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(value);
  return true;
}

StringView HTMLPreprocessedInputStream::nextUnprocessedCharactersWithMaximumLength(size_t length) const {
  if (scanLocation_ >= string_.size()) return {};
  return StringView(string_).substr(scanLocation_, length);
}

}  // namespace html
