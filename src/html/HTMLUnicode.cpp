#include "html/HTMLUnicode.h"

#include <unicode/uchar.h>

namespace html {

bool isUnicodeWhitespace(CodePoint c) {
  if (c == EOFCodePoint) return false;
  if ((c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85) return true;
  return (U_GET_GC_MASK(UChar32(c)) & (U_GC_ZS_MASK | U_GC_ZL_MASK | U_GC_ZP_MASK)) != 0;
}

bool isLetterMarkOrDigit(CodePoint c) {
  if (c == EOFCodePoint) return false;
  return (U_GET_GC_MASK(UChar32(c)) & (U_GC_L_MASK | U_GC_M_MASK | U_GC_N_MASK)) != 0;
}

StringView trimUnicodeWhitespace(StringView text) {
  while (!text.empty() && isUnicodeWhitespace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isUnicodeWhitespace(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace html
