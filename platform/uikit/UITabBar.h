#pragma once
#include <memory>
#include <optional>
#include <vector>

#include "uikit/UINavigationBar.h"
#include "uikit/UITabBarItem.h"
#include "uikit/UIView.h"

// The bar of a tab bar controller; its items are the tabs' items.
class UITabBar : public UIView {
 public:
  UITabBar();
  const std::vector<std::shared_ptr<UITabBarItem>>& items() const { return items_; }
  void setItems(std::vector<std::shared_ptr<UITabBarItem>> items) { items_ = std::move(items); }
  std::shared_ptr<UITabBarItem> selectedItem() const { return selectedItem_; }
  void setSelectedItem(std::shared_ptr<UITabBarItem> item) { selectedItem_ = std::move(item); }
  UIBarStyle barStyle() const { return barStyle_; }
  void setBarStyle(UIBarStyle style) { barStyle_ = style; }
  bool isTranslucent() const { return translucent_; }
  void setTranslucent(bool translucent) { translucent_ = translucent; }
  const std::optional<UIColor>& barTintColor() const { return barTintColor_; }
  void setBarTintColor(std::optional<UIColor> color) { barTintColor_ = std::move(color); }
  const std::optional<UIColor>& unselectedItemTintColor() const { return unselectedTint_; }
  void setUnselectedItemTintColor(std::optional<UIColor> color) { unselectedTint_ = std::move(color); }
  bool appendScreenText(std::vector<std::string>&) const override { return true; }

 private:
  std::vector<std::shared_ptr<UITabBarItem>> items_;
  std::shared_ptr<UITabBarItem> selectedItem_;
  UIBarStyle barStyle_ = UIBarStyleDefault;
  bool translucent_ = true;
  std::optional<UIColor> barTintColor_, unselectedTint_;
};
