#include "browse/KVCategoryGroups.h"

#include <algorithm>
#include <set>

#include "store/TextFolding.h"
#include "uikit/UITableView.h"

namespace {
constexpr std::array<const char*, KVCategoryGroups::kGroupCount> kWords = {"Addon", "Theme", "Tweak", "Widget"};
}  // namespace

const std::string& KVCategoryGroups::header(Group group) {
  static const std::array<std::string, kGroupCount> headers = {"Addons   ", "Themes   ", "Tweaks   ", "Widgets   "};
  return headers[group];
}

std::optional<KVCategoryGroups::Group> KVCategoryGroups::groupOfHeader(const std::string& row) {
  for (size_t g = 0; g < kGroupCount; ++g)
    if (row == header(Group(g))) return Group(g);
  return std::nullopt;
}

void KVCategoryGroups::sortAsShown(std::vector<std::string>& rows) {
  using namespace store::text;
  std::vector<std::pair<std::string, std::string>> keyed;
  keyed.reserve(rows.size());
  for (auto& row : rows) keyed.emplace_back(fold(row, kCaseInsensitive), std::move(row));
  std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return collate(a.first, b.first) < 0; });
  rows.clear();
  for (auto& [key, row] : keyed) rows.push_back(std::move(row));
}

void KVCategoryGroups::rebuild(const std::vector<std::string>& names) {
  rows_.clear();
  for (auto& members : members_) members.clear();
  collapsed_ = {true, true, true, true};
  for (const auto& name : names) {
    bool moved = false;
    for (size_t g = 0; g < kGroupCount && !moved; ++g)
      if (name.rfind(kWords[g], 0) == 0) {
        members_[g].push_back(name);
        moved = true;
      }
    if (!moved) rows_.push_back(name);
  }
  for (size_t g = 0; g < kGroupCount; ++g)
    if (!members_[g].empty()) rows_.push_back(header(Group(g)));
  sortAsShown(rows_);
  // Each name once, the first kept in its place.
  std::set<std::string> seen;
  rows_.erase(std::remove_if(rows_.begin(), rows_.end(), [&](const std::string& row) { return !seen.insert(row).second; }),
              rows_.end());
  for (auto& members : members_) {
    std::set<std::string> once;
    members.erase(std::remove_if(members.begin(), members.end(),
                                 [&](const std::string& m) { return !once.insert(m).second; }),
                  members.end());
  }
}

std::optional<long> KVCategoryGroups::rowOfHeader(Group group) const {
  auto it = std::find(rows_.begin(), rows_.end(), header(group));
  if (it == rows_.end()) return std::nullopt;
  return static_cast<long>(it - rows_.begin());
}

void KVCategoryGroups::close(Group group, const RowsChanged& deleted) {
  auto at = rowOfHeader(group);
  collapsed_[group] = true;
  if (!at) return;
  // The members sit right under the header, in their order.
  std::vector<long> removed;
  long first = *at + 1;
  long count = 0;
  for (const auto& member : members_[group]) {
    if (first >= static_cast<long>(rows_.size()) || rows_[first] != member) break;
    rows_.erase(rows_.begin() + first);
    removed.push_back(first + count);
    ++count;
  }
  if (!removed.empty() && deleted) deleted(removed);
}

void KVCategoryGroups::toggle(Group group, const RowsChanged& inserted, const RowsChanged& deleted) {
  if (!collapsed_[group]) {
    close(group, deleted);
    return;
  }
  auto at = rowOfHeader(group);
  if (!at) return;
  std::vector<long> added;
  long row = *at + 1;
  for (const auto& member : members_[group]) {
    rows_.insert(rows_.begin() + row, member);
    added.push_back(row++);
  }
  collapsed_[group] = false;
  if (!added.empty() && inserted) inserted(added);
  for (size_t g = 0; g < kGroupCount; ++g)
    if (Group(g) != group && !collapsed_[g]) close(Group(g), deleted);
}

bool KVCategoryGroups::toggleInTable(Group group, UITableView& table) {
  bool opening = isCollapsed(group);
  auto paths = [](const std::vector<long>& rows) {
    std::vector<NSIndexPath> out;
    for (long row : rows) out.push_back(NSIndexPath::indexPathForRow(row, 0));
    return out;
  };
  toggle(
      group, [&](const std::vector<long>& rows) { table.insertRowsAtIndexPaths(paths(rows), UITableViewRowAnimationBottom); },
      [&](const std::vector<long>& rows) { table.deleteRowsAtIndexPaths(paths(rows), UITableViewRowAnimationTop); });
  return opening;
}

std::optional<KVCategoryGroups::Group> KVCategoryGroups::chosen(bool addons, bool themes, bool tweaks, bool widgets) {
  if (addons) return Addons;
  if (themes) return Themes;
  if (tweaks) return Tweaks;
  if (widgets) return Widgets;
  return std::nullopt;
}
