#pragma once
// Code points as the tokenizer, the tokens and the tree builder handle them.
#include <functional>

#include "html/HTMLString.h"

namespace html {

// Appends the code point: U+10000 to U+10FFFF as a surrogate pair, any other value as
// the one unit of its low 16 bits.
void AppendLongCharacter(String& string, CodePoint c);
String StringWithLongCharacter(CodePoint c);

// Calls `block` with each code point of the text. A lead surrogate followed by a trail
// gives the joined code point; any other surrogate is passed alone, and so is the unit
// after an unpaired lead, even when that unit is itself a lead.
void EnumerateLongCharacters(StringView string, const std::function<void(CodePoint)>& block);

// Tab, line feed, form feed and space. Carriage return is not among them: the input
// stream has turned it into a line feed before anybody asks.
inline bool is_whitespace(CodePoint c) {
  return c == '\t' || c == '\n' || c == '\f' || c == ' ';
}

// Control characters other than NUL and white space, C1 controls, and the
// noncharacters (U+FDD0 to U+FDEF and the last two code points of every plane).
inline bool is_undefined_or_disallowed(CodePoint c) {
  if (c == EOFCodePoint) return false;
  if ((c >= 0x1 && c <= 0x8) || c == 0xB || (c >= 0xE && c <= 0x1F) || (c >= 0x7F && c <= 0x9F))
    return true;
  if (c >= 0xFDD0 && c <= 0xFDEF) return true;
  return c <= 0x10FFFF && (c & 0xFFFE) == 0xFFFE;
}

}  // namespace html
