#include "uikit/UINavigationItem.h"

#include "uikit/UIView.h"

void UINavigationItem::setLeftBarButtonItem(std::shared_ptr<UIBarButtonItem> item, bool animated) {
  setLeftBarButtonItems(item ? std::vector<std::shared_ptr<UIBarButtonItem>>{item} : std::vector<std::shared_ptr<UIBarButtonItem>>{}, animated);
}
void UINavigationItem::setRightBarButtonItem(std::shared_ptr<UIBarButtonItem> item, bool animated) {
  setRightBarButtonItems(item ? std::vector<std::shared_ptr<UIBarButtonItem>>{item} : std::vector<std::shared_ptr<UIBarButtonItem>>{}, animated);
}
void UINavigationItem::setLeftBarButtonItems(std::vector<std::shared_ptr<UIBarButtonItem>> items, bool animated) {
  if (animated) UIView::recordAnimation({"animation", 0.25, 0, 0, 0, 0, true});
  left_ = std::move(items);
}
void UINavigationItem::setRightBarButtonItems(std::vector<std::shared_ptr<UIBarButtonItem>> items, bool animated) {
  if (animated) UIView::recordAnimation({"animation", 0.25, 0, 0, 0, 0, true});
  right_ = std::move(items);
}
void UINavigationItem::setHidesBackButton(bool hides, bool animated) {
  if (animated) UIView::recordAnimation({"animation", 0.25, 0, 0, 0, 0, true});
  hidesBackButton_ = hides;
}
