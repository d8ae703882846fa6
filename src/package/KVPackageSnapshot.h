#pragma once
// The package page's copies of its records: every property of the package record by the
// store's schema (lists as arrays) with "isFree", and every property of its source's
// record. The page reads these, not the records, for as long as it lives, so a record
// that changes or goes away while the page is open changes nothing on it.
//
// A text of a snapshot counts as missing when it is absent, null or empty.
#include <optional>
#include <string>
#include <vector>

#include "foundation/Value.h"

namespace KVPackageSnapshot {
// The package record of `identifier`; without one, only "isFree" = NO.
Value packageDictionary(const std::string& identifier);
// The source record at `location`; none when there is no such record.
std::optional<Value> sourceDictionary(const std::optional<std::string>& location);

// The text under `key` when it is present, a text and not empty.
std::optional<std::string> text(const Value& snapshot, const std::string& key);
// Present with any value but null (the empty text counts).
bool isPresent(const Value& snapshot, const std::string& key);
// A boolean number that is YES.
bool flag(const Value& snapshot, const std::string& key);
// The texts of a list under `key`, in order (none for anything but a list).
std::vector<std::string> texts(const Value& snapshot, const std::string& key);

// A text as the page shows a title or an action: every word with its first letter in
// capitals and the others in small letters.
std::string capitalized(const std::string& text);
}  // namespace KVPackageSnapshot
