#pragma once
#include <memory>
#include <vector>

#include "uikit/UITabBar.h"
#include "uikit/UIViewController.h"

class UITabBarController;

class UITabBarControllerDelegate {
 public:
  virtual ~UITabBarControllerDelegate() = default;
  virtual bool tabBarControllerShouldSelectViewController(UITabBarController&, UIViewController&) { return true; }
  virtual void tabBarControllerDidSelectViewController(UITabBarController&, UIViewController&) {}
};

// Tabs: one child shown at a time, chosen in the tab bar.
class UITabBarController : public UIViewController {
 public:
  UITabBarController();
  const std::vector<std::shared_ptr<UIViewController>>& viewControllers() const { return tabs_; }
  void setViewControllers(std::vector<std::shared_ptr<UIViewController>> controllers, bool animated = false);
  long selectedIndex() const { return selected_; }
  void setSelectedIndex(long index);
  UIViewController* selectedViewController() const;
  const std::shared_ptr<UITabBar>& tabBar() const { return tabBar_; }
  UIEdgeInsets safeAreaInsetsForChild(const UIViewController& child) const override;
  UITabBarControllerDelegate* delegate() const { return delegate_; }
  void setDelegate(UITabBarControllerDelegate* delegate) { delegate_ = delegate; }

  // A person's tap on a tab; tapping the selected tab returns its navigation stack to
  // the root.
  bool selectTabByUser(long index);
  // What floats over the tabs: the visible views added to this controller's own view
  // besides the shown tab and the tab bar (a card above the bar), in order.
  std::vector<UIView*> floatingViews();

  void loadView() override;
  // The bar keeps to the bottom edge and the shown tab fills the view, at any size.
  void viewDidLayoutSubviews() override;
  std::vector<UIViewController*> childrenForAppearanceForwarding() const override;

 private:
  void refreshItems();
  std::vector<std::shared_ptr<UIViewController>> tabs_;
  long selected_ = 0;
  std::shared_ptr<UITabBar> tabBar_;
  UITabBarControllerDelegate* delegate_ = nullptr;
};
