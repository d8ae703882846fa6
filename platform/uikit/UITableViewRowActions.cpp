// What a person does with a table's rows: select, tap the accessory, swipe an action,
// choose from the edit menu.
#include <algorithm>
#include <cmath>

#include "uikit/UITableView.h"
#include "uikit/UIRowActionsView.h"

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
                     }, a->backgroundColor()});
    }
    return out;
  }
  if (leading) return out;
  auto rowActions = d.tableViewEditActionsForRowAtIndexPath(*this, path);
  if (!rowActions.empty()) {
    for (auto& a : rowActions)
      out.push_back({a->title(), a->style() == UITableViewRowActionStyleDestructive, [a, path] {
                       if (a->handler()) a->handler()(*a, path);
                     }, a->backgroundColor()});
    return out;
  }
  if (d.tableViewEditingStyleForRowAtIndexPath(*this, path) == UITableViewCellEditingStyleDelete) {
    std::string title = d.tableViewTitleForDeleteConfirmationButtonForRowAtIndexPath(*this, path).value_or("Delete");
    UITableViewDataSource* source = dataSource_;
    UITableView* table = this;
    out.push_back({title, true, [source, table, path] {
                     source->tableViewCommitEditingStyle(*table, UITableViewCellEditingStyleDelete, path);
                   }, std::nullopt});
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
                   }, std::nullopt});
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

// ---- Rows slid aside and held

namespace {
constexpr double kSnapSeconds = 0.25;
constexpr double kMenuHeight = 36;
}  // namespace

std::shared_ptr<UIRowActionsView> UITableView::makeRowActionsView(UIRowActionsKind kind, std::vector<UITableViewSwipeAction> actions) {
  std::weak_ptr<UIView> weak = weak_from_this();
  auto chosen = [weak, actions](size_t index) {
    auto table = std::static_pointer_cast<UITableView>(weak.lock());
    if (!table || index >= actions.size()) return;
    // The row goes back first: the action may reload the table or open another screen.
    table->closeSwipeActions(false);
    table->hideMenu();
    actions[index].perform();
  };
  auto view = std::make_shared<UIRowActionsView>(kind, std::move(actions), chosen);
  addSubview(view);
  return view;
}

bool UITableView::slideRowByUser(const NSIndexPath& path, double shift) {
  hideMenu();
  bool leading = shift > 0;
  auto kind = leading ? UIRowActionsKind::Leading : UIRowActionsKind::Trailing;
  if (!slid_.view || slid_.path != path || slid_.view->kind() != kind) {
    closeSwipeActions(false);
    if (shift == 0) return true;
    auto actions = swipeActionsForRow(path, leading);
    if (actions.empty() || !cellForRowAtIndexPath(path)) return false;
    slid_.path = path;
    slid_.view = makeRowActionsView(kind, std::move(actions));
  }
  double full = slid_.view->fullWidth();
  slid_.shift = leading ? std::min(shift, full) : std::max(shift, -full);
  placeRowGestures();
  return true;
}

void UITableView::snapSlidRow(double shift) {
  std::weak_ptr<UIView> weak = weak_from_this();
  auto view = slid_.view;
  UIView::animateWithDuration(
      kSnapSeconds, 0, UIViewAnimationOptionCurveEaseOut,
      [this, shift] {
        slid_.shift = shift;
        placeRowGestures();
      },
      [weak, view](bool) {
        auto table = std::static_pointer_cast<UITableView>(weak.lock());
        if (table && table->slid_.view == view && table->slid_.shift == 0) table->closeSwipeActions(false);
      });
}

void UITableView::endSlideByUser() {
  if (!slid_.view) return;
  double full = slid_.view->fullWidth();
  bool open = std::abs(slid_.shift) >= full / 2;
  double side = slid_.view->kind() == UIRowActionsKind::Leading ? 1 : -1;
  snapSlidRow(open ? side * full : 0);
}

bool UITableView::openSwipeActionsByUser(const NSIndexPath& path, bool leading) {
  if (!slideRowByUser(path, leading ? 0.5 : -0.5)) return false;
  snapSlidRow((leading ? 1 : -1) * slid_.view->fullWidth());
  return true;
}

std::optional<NSIndexPath> UITableView::slidRow() const {
  if (slid_.view && slid_.shift != 0) return slid_.path;
  return std::nullopt;
}

double UITableView::slidRowShift() const { return slid_.view ? slid_.shift : 0; }

void UITableView::closeSwipeActions(bool animated) {
  if (!slid_.view) return;
  if (animated && slid_.shift != 0) return snapSlidRow(0);
  slid_.shift = 0;
  placeRowGestures();
  if (slid_.view) slid_.view->removeFromSuperview();
  slid_ = {};
}

bool UITableView::showMenuForRowByUser(const NSIndexPath& path) {
  auto actions = menuActionsForRow(path);
  if (actions.empty() || !cellForRowAtIndexPath(path)) return false;
  closeSwipeActions(false);
  hideMenu();
  menu_.path = path;
  menu_.view = makeRowActionsView(UIRowActionsKind::Menu, std::move(actions));
  placeRowGestures();
  return true;
}

void UITableView::hideMenu() {
  if (menu_.view) menu_.view->removeFromSuperview();
  menu_ = {};
}

UIView* UITableView::rowActionsView() const {
  if (menu_.view) return menu_.view.get();
  return slid_.view && slid_.shift != 0 ? slid_.view.get() : nullptr;
}

void UITableView::placeRowGestures() {
  double width = bounds().width();
  auto rowFrame = [&](const NSIndexPath& path) -> std::optional<CGRect> {
    if (!visible_.count(path) || path.section >= long(sections_.size())) return std::nullopt;
    const Section& sec = sections_[size_t(path.section)];
    if (path.row >= long(sec.rowTops.size())) return std::nullopt;
    return CGRect::make(0, sec.rowTops[size_t(path.row)], width, sec.rowHeights[size_t(path.row)]);
  };
  if (slid_.view) {
    if (auto row = rowFrame(slid_.path)) {
      visible_[slid_.path]->setFrame(CGRect::make(slid_.shift, row->minY(), row->width(), row->height()));
      double shown = std::abs(slid_.shift);
      bool leading = slid_.view->kind() == UIRowActionsKind::Leading;
      slid_.view->setFrame(CGRect::make(leading ? 0 : width - shown, row->minY(), shown, row->height()));
      slid_.view->layoutIfNeeded();
    } else {
      // The row left the screen: it comes back in its place.
      slid_.view->removeFromSuperview();
      slid_ = {};
    }
  }
  if (menu_.view) {
    if (auto row = rowFrame(menu_.path)) {
      double menuWidth = std::min(menu_.view->fullWidth(), width - 16);
      menu_.view->setFrame(CGRect::make((width - menuWidth) / 2, row->minY() + (row->height() - kMenuHeight) / 2, menuWidth,
                                        std::min(kMenuHeight, row->height())));
      menu_.view->layoutIfNeeded();
      bringSubviewToFront(menu_.view.get());
    } else {
      hideMenu();
    }
  }
}
