#include "interface/UIColorSimpleHex.h"

#include <cctype>
#include <cstdint>

namespace UIColorSimpleHex {
namespace {
int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A hexadecimal scan that skips only "#" (never white space), takes an optional 0x
// prefix, gives 0 when nothing can be read and all bits set on overflow.
uint32_t scanHex(const std::string& s) {
  size_t i = 0;
  while (i < s.size() && s[i] == '#') ++i;
  if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X') && i + 2 < s.size() &&
      hexDigit(s[i + 2]) >= 0)
    i += 2;
  uint64_t value = 0;
  bool overflow = false;
  for (; i < s.size(); ++i) {
    int d = hexDigit(s[i]);
    if (d < 0) break;
    value = value * 16 + uint64_t(d);
    if (value > 0xFFFFFFFFull) overflow = true;
    value &= 0xFFFFFFFFFull;
  }
  return overflow ? 0xFFFFFFFFu : uint32_t(value);
}
}  // namespace

UIColor colorWithHexString(const std::string& hex, double alpha) {
  uint32_t v = scanHex(hex);
  return UIColor::colorWithRed(((v >> 16) & 0xFF) / 255.0, ((v >> 8) & 0xFF) / 255.0, (v & 0xFF) / 255.0, alpha);
}

UIColor colorWithHexString(const std::string& hex) { return colorWithHexString(hex, 1.0); }
}  // namespace UIColorSimpleHex
