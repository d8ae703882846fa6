// What a person does with a table's rows: select, tap the accessory, swipe an action,
// choose from the edit menu.
#include <algorithm>

#include "uikit/UITableView.h"

namespace {
// The standard edit-menu actions a row may offer, in menu order.
const std::vector<std::pair<std::string, std::string>>& menuActions() {
  static const std::vector<std::pair<std::string, std::string>> actions = {
      {"cut:", "Cut"}, {"copy:", "Copy"}, {"paste:", "Paste"}, {"delete:", "Delete"}};
  return actions;
}
}  // namespace

bool UITableView::selectRowByUser(const NSIndexPath& path) {
  if (!hasRow(path)) return false;
  scrollToRowAtIndexPath(path, UITableViewScrollPositionNone, false);
  auto cell = cellForRowAtIndexPath(path);
  if (!allowsSelection_ || (cell && !cell->isUserInteractionEnabled())) return false;
  auto& d = effectiveDelegate();
  if (!d.tableViewShouldHighlightRowAtIndexPath(*this, path)) return false;
  auto chosen = d.tableViewWillSelectRowAtIndexPath(*this, path);
  if (!chosen) return true;
  if (!allowsMultipleSelection_) {
    auto previous = selected_;
    for (auto& p : previous) {
      if (p == *chosen) continue;
      deselectRowAtIndexPath(p, false);
      d.tableViewDidDeselectRowAtIndexPath(*this, p);
    }
  }
  selectRowAtIndexPath(*chosen, false, UITableViewScrollPositionNone);
  d.tableViewDidSelectRowAtIndexPath(*this, *chosen);
  return true;
}

bool UITableView::tapAccessoryByUser(const NSIndexPath& path) {
  auto cell = cellForRowAtIndexPath(path);
  if (!cell) return false;
  auto type = cell->accessoryType();
  if (type != UITableViewCellAccessoryDetailButton && type != UITableViewCellAccessoryDetailDisclosureButton) return false;
  effectiveDelegate().tableViewAccessoryButtonTappedForRowWithIndexPath(*this, path);
  return true;
}

std::vector<UITableViewSwipeAction> UITableView::swipeActionsForRow(const NSIndexPath& path, bool leading) {
  std::vector<UITableViewSwipeAction> out;
  if (!dataSource_ || !hasRow(path)) return out;
  if (!dataSource_->tableViewCanEditRowAtIndexPath(*this, path)) return out;
  auto& d = effectiveDelegate();
  auto config = leading ? d.tableViewLeadingSwipeActionsConfigurationForRowAtIndexPath(*this, path)
                        : d.tableViewTrailingSwipeActionsConfigurationForRowAtIndexPath(*this, path);
  if (config) {
    for (auto& a : config->actions()) {
      std::weak_ptr<UITableView> self = std::static_pointer_cast<UITableView>(shared_from_this());
      out.push_back({a->title(), a->style() == UIContextualActionStyleDestructive, [a, self, path] {
                       auto table = self.lock();
                       auto cell = table ? table->cellForRowAtIndexPath(path) : nullptr;
                       if (a->handler()) a->handler()(*a, cell.get(), [](bool) {});
                     }});
    }
    return out;
  }
  if (leading) return out;
  auto rowActions = d.tableViewEditActionsForRowAtIndexPath(*this, path);
  if (!rowActions.empty()) {
    for (auto& a : rowActions)
      out.push_back({a->title(), a->style() == UITableViewRowActionStyleDestructive, [a, path] {
                       if (a->handler()) a->handler()(*a, path);
                     }});
    return out;
  }
  if (d.tableViewEditingStyleForRowAtIndexPath(*this, path) == UITableViewCellEditingStyleDelete) {
    std::string title = d.tableViewTitleForDeleteConfirmationButtonForRowAtIndexPath(*this, path).value_or("Delete");
    UITableViewDataSource* source = dataSource_;
    UITableView* table = this;
    out.push_back({title, true, [source, table, path] {
                     source->tableViewCommitEditingStyle(*table, UITableViewCellEditingStyleDelete, path);
                   }});
  }
  return out;
}

bool UITableView::performSwipeActionByUser(const NSIndexPath& path, const std::string& title, bool leading) {
  for (auto& action : swipeActionsForRow(path, leading)) {
    if (action.title != title) continue;
    action.perform();
    return true;
  }
  return false;
}

std::vector<UITableViewSwipeAction> UITableView::menuActionsForRow(const NSIndexPath& path) {
  std::vector<UITableViewSwipeAction> out;
  if (!delegate_ || !hasRow(path)) return out;
  if (!delegate_->tableViewShouldShowMenuForRowAtIndexPath(*this, path)) return out;
  for (auto& [action, title] : menuActions()) {
    if (!delegate_->tableViewCanPerformAction(*this, action, path)) continue;
    UITableViewDelegate* delegate = delegate_;
    UITableView* table = this;
    std::string selector = action;
    out.push_back({title, action == "delete:" || action == "cut:", [delegate, table, selector, path] {
                     delegate->tableViewPerformAction(*table, selector, path);
                   }});
  }
  return out;
}

bool UITableView::performMenuActionByUser(const NSIndexPath& path, const std::string& title) {
  for (auto& action : menuActionsForRow(path)) {
    if (action.title != title) continue;
    action.perform();
    return true;
  }
  return false;
}
