#pragma once
// The HTML standard's named character references, generated (see generate/), sorted by
// UTF-16 code unit order for binary search: the names ending in ";" and the legacy
// names that also stand without it.
#include <cstddef>

#include "html/HTMLString.h"

namespace html {

struct NamedReference {
  StringView name;
  StringView replacement;
};

extern const NamedReference NamedReferences[];
extern const size_t NamedReferencesCount;
extern const NamedReference NamedSemicolonlessReferences[];
extern const size_t NamedSemicolonlessReferencesCount;

// The longest name, "CounterClockwiseContourIntegral;".
inline constexpr size_t LongestEntityNameLength = 32;

}  // namespace html
