#include "uikit/UIIndexPathUpdates.h"

#include <set>

namespace {
// Each path names an existing row of `counts`, once.
bool allDistinctWithin(const std::vector<NSIndexPath>& paths, const std::vector<long>& counts) {
  std::set<NSIndexPath> seen;
  for (const auto& p : paths) {
    if (p.section < 0 || p.section >= long(counts.size()) || p.row < 0 || p.row >= counts[size_t(p.section)]) return false;
    if (!seen.insert(p).second) return false;
  }
  return true;
}
}  // namespace

std::optional<std::map<NSIndexPath, NSIndexPath>> UIIndexPathUpdates::moves(const std::vector<long>& oldCounts,
                                                                              const std::vector<long>& newCounts) const {
  if (sectionsChanged || oldCounts.size() != newCounts.size()) return std::nullopt;
  if (!allDistinctWithin(deletes, oldCounts) || !allDistinctWithin(reloads, oldCounts) ||
      !allDistinctWithin(inserts, newCounts))
    return std::nullopt;
  std::map<NSIndexPath, NSIndexPath> out;
  for (long s = 0; s < long(oldCounts.size()); ++s) {
    std::set<long> deleted, inserted;
    for (const auto& p : deletes)
      if (p.section == s) deleted.insert(p.row);
    for (const auto& p : inserts)
      if (p.section == s) inserted.insert(p.row);
    if (oldCounts[size_t(s)] - long(deleted.size()) + long(inserted.size()) != newCounts[size_t(s)]) return std::nullopt;
    long to = 0;
    for (long from = 0; from < oldCounts[size_t(s)]; ++from) {
      if (deleted.count(from)) continue;
      while (inserted.count(to)) ++to;
      out[{s, from}] = {s, to++};
    }
  }
  return out;
}
