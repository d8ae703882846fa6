#pragma once
// Lists of texts are stored in one column as a JSON array of strings, so a record
// reads back in one row and queries can still look inside with SQLite's json_each.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/Value.h"

namespace store::lists {

// Encodes the strings of an array value (other items are written as their text).
std::string encode(const Value& array);
std::string encode(const std::vector<std::string>& items);
// The same into `out`, replacing what it held (its room is reused).
void encodeInto(std::string& out, const std::vector<std::string>& items);
// The array of strings, or nothing when the text is not such an array.
std::optional<Value> decode(std::string_view json);

}  // namespace store::lists
