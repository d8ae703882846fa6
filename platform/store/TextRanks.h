#pragma once
// The order of many texts at once as collate() orders them (TextFolding.h): the ranks
// the columns kept in memory sort by. Texts of printable ASCII alone (nearly every
// package name) are ordered by the collator's own weights of their characters, read
// from it once: the same order as the collator's sort keys give, a quarter of their
// cost. The others are ordered by the collator's sort keys, and the two orders merged
// by collate().
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace store::text {

// Ranks in collate()'s order of the texts `text(1)` to `text(count)`: the first has rank
// 1, equal texts share a rank, and a text's rank is at index [code] (index 0, no text,
// has rank 0).
std::vector<uint32_t> collationRanks(uint32_t count, const std::function<std::string_view(uint32_t code)>& text);

}  // namespace store::text
