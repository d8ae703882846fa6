#pragma once
// The accordion of category names that the categories tab and the subcategories screen
// share: names beginning with "Addon", "Theme", "Tweak" or "Widget" (letter case as
// written) are folded under the header row of their group ("Addons   " and its siblings:
// the group's word and three blanks, so no category name equals a header; a category
// named "Tweaks" is a member of its group). A header row exists exactly when its group
// has members; the rows are sorted as a person reads them, each name once, every group
// closed. At most one group is open: opening one closes the other.
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class UITableView;

class KVCategoryGroups {
 public:
  enum Group { Addons = 0, Themes = 1, Tweaks = 2, Widgets = 3 };
  static constexpr size_t kGroupCount = 4;

  // "Addons   ", "Themes   ", "Tweaks   ", "Widgets   ".
  static const std::string& header(Group group);
  static std::optional<Group> groupOfHeader(const std::string& row);
  // Sorted by a localized comparison that ignores letter case.
  static void sortAsShown(std::vector<std::string>& rows);

  // The rows of `names` folded, sorted and without repeats; every group closed.
  void rebuild(const std::vector<std::string>& names);
  // A row before all the others (a source's "All Packages").
  void prependRow(std::string row) { rows_.insert(rows_.begin(), std::move(row)); }

  const std::vector<std::string>& rows() const { return rows_; }
  const std::vector<std::string>& members(Group group) const { return members_[group]; }
  bool isCollapsed(Group group) const { return collapsed_[group]; }
  std::optional<long> rowOfHeader(Group group) const;

  // Opens the group when it is closed (its members right under its header) and then
  // closes any other open one; closes it when it is open. Each change is told as soon as
  // the rows hold it, with the row numbers it inserted or deleted, so that a table
  // applying it finds its rows as they are then.
  using RowsChanged = std::function<void(const std::vector<long>& rows)>;
  void toggle(Group group, const RowsChanged& inserted, const RowsChanged& deleted);
  // The same, applied to the first section of `table` as it goes (rows come in from the
  // bottom and leave at the top). Answers whether the group opened.
  bool toggleInTable(Group group, UITableView& table);
  // The group whose flag is set, the first in the order add-ons, themes, tweaks, widgets.
  static std::optional<Group> chosen(bool addons, bool themes, bool tweaks, bool widgets);

 private:
  void close(Group group, const RowsChanged& deleted);

  std::vector<std::string> rows_;
  std::array<std::vector<std::string>, kGroupCount> members_;
  std::array<bool, kGroupCount> collapsed_{true, true, true, true};
};
