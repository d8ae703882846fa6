#pragma once
// A batch of row (or item) changes to a table or collection, as the platform takes
// them: deletions and reloads name rows as they were, insertions rows as they will be.
// The batch holds only when each section's new count is its old count plus its
// insertions minus its deletions, every named row exists on its side, and no row is
// named twice; otherwise the view reloads everything instead.
#include <map>
#include <optional>
#include <vector>

#include "uikit/UIGeometry.h"

struct UIIndexPathUpdates {
  std::vector<NSIndexPath> inserts, deletes, reloads;
  bool sectionsChanged = false;

  bool empty() const { return inserts.empty() && deletes.empty() && reloads.empty() && !sectionsChanged; }
  // Where every surviving row moves (old path to new path; a reloaded row keeps its
  // entry), or nothing when the batch does not hold for these counts.
  std::optional<std::map<NSIndexPath, NSIndexPath>> moves(const std::vector<long>& oldCounts,
                                                          const std::vector<long>& newCounts) const;
};
