#include "markdown/MDCharacterSet.h"

#include <unicode/uchar.h>

namespace markdown {

MDCharacterSet::MDCharacterSet(std::string_view ascii, bool alphanumerics) {
  for (char c : ascii) ascii_[static_cast<unsigned char>(c) & 0x7F] = true;
  if (alphanumerics) {
    for (char32_t c = '0'; c <= '9'; ++c) ascii_[c] = true;
    for (char32_t c = 'a'; c <= 'z'; ++c) ascii_[c] = true;
    for (char32_t c = 'A'; c <= 'Z'; ++c) ascii_[c] = true;
    unicodeClass_ = UnicodeClass::Alphanumeric;
  }
}

const MDCharacterSet& MDCharacterSet::whitespace() {
  static const MDCharacterSet set = [] {
    MDCharacterSet s;
    s.ascii_[' '] = s.ascii_['\t'] = true;
    s.unicodeClass_ = UnicodeClass::Whitespace;
    return s;
  }();
  return set;
}

const MDCharacterSet& MDCharacterSet::alphanumeric() {
  static const MDCharacterSet set("", true);
  return set;
}

bool MDCharacterSet::isAlphanumeric(char32_t c) {
  if (c < 128) return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  constexpr uint32_t mask = U_GC_L_MASK | U_GC_M_MASK | U_GC_N_MASK;
  return (U_GET_GC_MASK(static_cast<UChar32>(c)) & mask) != 0;
}

bool MDCharacterSet::isWhitespace(char32_t c) {
  if (c < 128) return c == ' ' || c == '\t';
  return u_charType(static_cast<UChar32>(c)) == U_SPACE_SEPARATOR;
}

namespace utf8 {

char32_t decode(std::string_view text, size_t at, size_t* length) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(at);
  if (lead < 0x80) {
    *length = 1;
    return lead;
  }
  size_t n = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
  if (at + n > text.size()) n = text.size() - at;
  char32_t c = lead & (n == 4 ? 0x07 : n == 3 ? 0x0F : 0x1F);
  for (size_t i = 1; i < n; ++i) c = (c << 6) | (byte(at + i) & 0x3F);
  *length = n == 0 ? 1 : n;
  return c;
}

size_t previousStart(std::string_view text, size_t at, size_t lower) {
  if (at <= lower) return lower;
  size_t i = at - 1;
  while (i > lower && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) --i;
  return i;
}

void append(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

size_t validLength(std::string_view text, size_t at) {
  auto byte = [&](size_t i) { return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u; };
  unsigned lead = byte(at);
  auto tail = [&](size_t i) { return (byte(i) & 0xC0) == 0x80; };
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return tail(at + 1) ? 2 : 0;
  if (lead >= 0xE0 && lead <= 0xEF) {
    unsigned second = byte(at + 1);
    if (lead == 0xE0 && second < 0xA0) return 0;  // overlong
    if (lead == 0xED && second >= 0xA0) return 0;  // surrogate
    return tail(at + 1) && tail(at + 2) ? 3 : 0;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    unsigned second = byte(at + 1);
    if (lead == 0xF0 && second < 0x90) return 0;  // overlong
    if (lead == 0xF4 && second >= 0x90) return 0;  // above U+10FFFF
    return tail(at + 1) && tail(at + 2) && tail(at + 3) ? 4 : 0;
  }
  return 0;
}

size_t endWithoutTrailingWhitespace(std::string_view text, size_t start, size_t end) {
  while (end > start) {
    size_t previous = previousStart(text, end, start);
    size_t length = 0;
    if (!MDCharacterSet::isWhitespace(decode(text.substr(0, end), previous, &length))) break;
    end = previous;
  }
  return end;
}

}  // namespace utf8

}  // namespace markdown
