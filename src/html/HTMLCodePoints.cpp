#include "html/HTMLCodePoints.h"

namespace html {

void AppendLongCharacter(String& string, CodePoint c) {
  if (c >= 0x10000 && c <= 0x10FFFF) {
    c -= 0x10000;
    string.push_back(char16_t(0xD800 + (c >> 10)));
    string.push_back(char16_t(0xDC00 + (c & 0x3FF)));
  } else {
    string.push_back(char16_t(c & 0xFFFF));
  }
}

String StringWithLongCharacter(CodePoint c) {
  String s;
  AppendLongCharacter(s, c);
  return s;
}

void EnumerateLongCharacters(StringView string, const std::function<void(CodePoint)>& block) {
  for (size_t i = 0; i < string.size(); ++i) {
    char16_t unit = string[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < string.size()) {
      char16_t next = string[i + 1];
      if (next >= 0xDC00 && next <= 0xDFFF) {
        block(0x10000 + ((CodePoint(unit) - 0xD800) << 10) + (next - 0xDC00));
        ++i;
        continue;
      }
      // An unpaired lead: it goes alone, and so does the unit after it.
      block(unit);
      block(next);
      ++i;
      continue;
    }
    block(unit);
  }
}

}  // namespace html
