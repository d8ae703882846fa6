#pragma once
// Reading XML property lists into Value by our own reader: dates over the whole calendar
// a list can write (year 1 as much as year 4000), integers up to 2^64 - 1 (those of 2^63
// and above kept unsigned), lists in UTF-8, UTF-16 or UTF-32 (told by their byte-order
// mark or their first character). Like binary lists they are hostile input: nesting is
// limited as it is read, nothing outside the bytes is fetched, and a reference to an
// entity a document declares for itself is refused.
#include <optional>
#include <string>

#include "foundation/Value.h"

namespace XMLPropertyList {
// The list's value, or nothing with `error` set (the texts of BinaryPropertyList).
std::optional<Value> read(const Data& bytes, std::string* error = nullptr);
}  // namespace XMLPropertyList
