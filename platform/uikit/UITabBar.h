#pragma once
#include <memory>
#include <optional>
#include <vector>

#include "uikit/UIBarBase.h"
#include "uikit/UITabBarItem.h"

// The bar of a tab bar controller; its items are the tabs' items.
class UITabBar : public UIBarBase {
 public:
  UITabBar();
  const std::vector<std::shared_ptr<UITabBarItem>>& items() const { return items_; }
  void setItems(std::vector<std::shared_ptr<UITabBarItem>> items) { items_ = std::move(items); }
  std::shared_ptr<UITabBarItem> selectedItem() const { return selectedItem_; }
  void setSelectedItem(std::shared_ptr<UITabBarItem> item) { selectedItem_ = std::move(item); }
  const std::optional<UIColor>& unselectedItemTintColor() const { return unselectedTint_; }
  void setUnselectedItemTintColor(std::optional<UIColor> color) { unselectedTint_ = std::move(color); }

 private:
  std::vector<std::shared_ptr<UITabBarItem>> items_;
  std::shared_ptr<UITabBarItem> selectedItem_;
  std::optional<UIColor> unselectedTint_;
};
