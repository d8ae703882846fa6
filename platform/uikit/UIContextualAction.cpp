#include "uikit/UIContextualAction.h"

std::shared_ptr<UITableViewRowAction> UITableViewRowAction::rowActionWithStyle(UITableViewRowActionStyle style,
                                                                               std::string title, Handler handler) {
  auto a = std::make_shared<UITableViewRowAction>();
  a->style_ = style;
  a->title_ = std::move(title);
  a->handler_ = std::move(handler);
  return a;
}

std::shared_ptr<UIContextualAction> UIContextualAction::contextualActionWithStyle(UIContextualActionStyle style,
                                                                                  std::string title, Handler handler) {
  auto a = std::make_shared<UIContextualAction>();
  a->style_ = style;
  a->title_ = std::move(title);
  a->handler_ = std::move(handler);
  return a;
}

std::shared_ptr<UISwipeActionsConfiguration> UISwipeActionsConfiguration::configurationWithActions(
    std::vector<std::shared_ptr<UIContextualAction>> actions) {
  auto c = std::make_shared<UISwipeActionsConfiguration>();
  c->actions_ = std::move(actions);
  return c;
}
