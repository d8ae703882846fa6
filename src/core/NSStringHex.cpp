#include "core/NSStringHex.h"

#include <unicode/unistr.h>

#include <cstdio>

namespace NSStringHex {

std::string hexValue(std::string_view text) {
  // Invalid UTF-8 reads as U+FFFD, as the platform's text class would hold it.
  icu::UnicodeString units = icu::UnicodeString::fromUTF8(
      icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  std::string hex;
  hex.reserve(static_cast<size_t>(units.length()) * 2);
  char buffer[8];
  for (int32_t i = 0; i < units.length(); ++i) {
    std::snprintf(buffer, sizeof buffer, "%02x", static_cast<unsigned>(units.charAt(i)));
    hex += buffer;
  }
  return hex;
}

}  // namespace NSStringHex
