#pragma once
// A batch of row (or item) changes to a table or collection, as the platform takes
// them: deletions and reloads name rows as they were, insertions rows as they will be.
// The batch holds only when each section's new count is its old count plus its
// insertions minus its deletions, every named row exists on its side, and no row is
// named twice; otherwise the view reloads everything instead.
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <utility>
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

  // Carries the views of the visible rows to their new paths, and the selection with
  // them; the views of rows that went or were reloaded go to `retire(path, view)`, and
  // a reloaded row is no longer selected.
  template <class View, class Retire>
  void carry(const std::map<NSIndexPath, NSIndexPath>& moved, std::map<NSIndexPath, std::shared_ptr<View>>& visible,
             std::vector<NSIndexPath>& selected, Retire retire) const {
    std::set<NSIndexPath> reloaded(reloads.begin(), reloads.end());
    std::map<NSIndexPath, std::shared_ptr<View>> kept;
    std::vector<std::pair<NSIndexPath, std::shared_ptr<View>>> retired;
    for (auto& [path, view] : visible) {
      auto to = moved.find(path);
      if (to == moved.end() || reloaded.count(path)) retired.emplace_back(path, view);
      else kept[to->second] = view;
    }
    visible.swap(kept);
    for (auto& [path, view] : retired) retire(path, view);
    std::vector<NSIndexPath> selection;
    for (auto& p : selected)
      if (auto to = moved.find(p); to != moved.end() && !reloaded.count(p)) selection.push_back(to->second);
    selected.swap(selection);
  }
};
