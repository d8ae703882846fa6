#pragma once
// The two lookups behind character references: named references and the replacement
// table for numeric ones. The tokenizer and the string escapes share them.
#include <cstdint>
#include <optional>

#include "html/HTMLString.h"

namespace html {

// The replacement for the named reference at the start of the candidate text (exact,
// case matters): a name with ";" first, else the longest legacy name without one. The
// matched name (with or without ";") goes to `matchedName` when given.
std::optional<StringView> StringForNamedEntity(StringView candidate, StringView* matchedName = nullptr);

// The replacement for a numeric reference's number from the table of the standard
// (NUL, carriage return and the windows-1252 range 0x80-0x9F), or 0 when the number,
// compared whole, has no row.
CodePoint ReplacementForNumericEntity(uint32_t number);

}  // namespace html
