#pragma once
// Unicode character classes the selectors use: white space and new lines of every
// script (for trimming), and the letters, marks and digits identifiers are made of.
#include "html/HTMLString.h"

namespace html {

bool isUnicodeWhitespace(CodePoint c);
bool isLetterMarkOrDigit(CodePoint c);
StringView trimUnicodeWhitespace(StringView text);

}  // namespace html
