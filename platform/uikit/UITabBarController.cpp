#include "uikit/UITabBarController.h"

#include <algorithm>

#include "uikit/UINavigationController.h"
#include "uikit/UIScreen.h"

UITabBarController::UITabBarController() { tabBar_ = std::make_shared<UITabBar>(); }

void UITabBarController::viewDidLayoutSubviews() {
  CGRect bounds = view()->bounds();
  double barHeight = tabBar_->frame().height();
  tabBar_->setFrame(CGRect::make(0, bounds.height() - barHeight, bounds.width(), barHeight));
  if (auto* selected = selectedViewController(); selected && selected->isViewLoaded() &&
                                                 selected->view()->superview() == view().get())
    selected->view()->setFrame(bounds);
}

UIEdgeInsets UITabBarController::safeAreaInsetsForChild(const UIViewController& child) const {
  if (tabBar_->isHidden() || !child.viewIfLoaded() || child.viewIfLoaded()->superview() != tabBar_->superview()) return {};
  // The bar stands on the home indicator's margin, which the screen's safe area keeps.
  double bottom = std::max(0.0, tabBar_->frame().height() - UIScreen::mainScreen().safeAreaInsets().bottom);
  // A card floating just above the bar (the queue's) keeps the content clear of it too.
  double barTop = tabBar_->frame().minY();
  for (const auto& sub : viewIfLoaded()->subviews()) {
    if (sub == tabBar_ || sub.get() == child.viewIfLoaded() || sub->isHidden() || sub->alpha() <= 0.01) continue;
    CGRect f = sub->frame();
    if (f.maxY() <= barTop + 1 && f.maxY() >= barTop - 40 && f.minY() < barTop && f.height() < barTop / 3)
      bottom = std::max(bottom, bottom + barTop - f.minY());
  }
  return {0, 0, bottom, 0};
}

void UITabBarController::loadView() {
  UIViewController::loadView();
  view()->addSubview(tabBar_);
  if (auto* selected = selectedViewController()) {
    selected->view()->setFrame(view()->bounds());
    view()->insertSubviewBelow(selected->view(), tabBar_.get());
  }
}

std::vector<UIView*> UITabBarController::floatingViews() {
  std::vector<UIView*> out;
  if (!isViewLoaded()) return out;
  UIViewController* selected = selectedViewController();
  for (const auto& sub : view()->subviews()) {
    if (sub->isHidden() || sub == tabBar_ || (selected && selected->isViewLoaded() && sub == selected->view())) continue;
    out.push_back(sub.get());
  }
  return out;
}

std::vector<UIViewController*> UITabBarController::childrenForAppearanceForwarding() const {
  if (auto* s = selectedViewController()) return {s};
  return {};
}

UIViewController* UITabBarController::selectedViewController() const {
  return selected_ >= 0 && selected_ < long(tabs_.size()) ? tabs_[size_t(selected_)].get() : nullptr;
}

void UITabBarController::refreshItems() {
  std::vector<std::shared_ptr<UITabBarItem>> items;
  for (auto& t : tabs_) {
    // A navigation stack's tab is named after its root screen unless it has a title of its own.
    auto* nav = dynamic_cast<UINavigationController*>(t.get());
    if (t->tabBarItem()->title().empty() && nav && !nav->viewControllers().empty())
      t->tabBarItem()->setTitle(nav->viewControllers().front()->title());
    items.push_back(t->tabBarItem());
  }
  tabBar_->setItems(items);
  tabBar_->setSelectedItem(selected_ >= 0 && selected_ < long(items.size()) ? items[size_t(selected_)] : nullptr);
}

void UITabBarController::setViewControllers(std::vector<std::shared_ptr<UIViewController>> controllers, bool) {
  UI_MAIN_THREAD_ONLY();
  UIViewController* old = selectedViewController();
  bool visible = isVisible();
  if (visible && old) old->beginAppearanceTransition(false, false);
  if (visible && old) old->endAppearanceTransition();
  if (old && old->isViewLoaded()) old->view()->removeFromSuperview();
  for (auto& t : tabs_) t->removeFromParentViewController();
  tabs_ = std::move(controllers);
  for (auto& t : tabs_) {
    addChildViewController(t);
    t->didMoveToParentViewController(this);
  }
  selected_ = tabs_.empty() ? -1 : std::clamp(selected_, 0L, long(tabs_.size()) - 1);
  refreshItems();
  if (auto* now = selectedViewController()) {
    if (isViewLoaded()) {
      now->view()->setFrame(view()->bounds());
      view()->insertSubviewBelow(now->view(), tabBar_.get());
    }
    if (visible) {
      now->beginAppearanceTransition(true, false);
      now->endAppearanceTransition();
    }
  }
}

void UITabBarController::setSelectedIndex(long index) {
  UI_MAIN_THREAD_ONLY();
  if (index < 0 || index >= long(tabs_.size()) || index == selected_) return;
  UIViewController* old = selectedViewController();
  UIViewController* now = tabs_[size_t(index)].get();
  bool visible = isVisible();
  if (visible) {
    if (old) old->beginAppearanceTransition(false, false);
    now->beginAppearanceTransition(true, false);
  }
  selected_ = index;
  if (isViewLoaded()) {
    if (old && old->isViewLoaded()) old->view()->removeFromSuperview();
    now->view()->setFrame(view()->bounds());
    view()->insertSubviewBelow(now->view(), tabBar_.get());
  }
  if (visible) {
    if (old) old->endAppearanceTransition();
    now->endAppearanceTransition();
  }
  refreshItems();
}

bool UITabBarController::selectTabByUser(long index) {
  if (index < 0 || index >= long(tabs_.size())) return false;
  auto& target = *tabs_[size_t(index)];
  if (!target.tabBarItem()->isEnabled()) return false;
  if (delegate_ && !delegate_->tabBarControllerShouldSelectViewController(*this, target)) return false;
  if (index == selected_) {
    if (auto* nav = dynamic_cast<UINavigationController*>(&target)) nav->popToRootViewControllerAnimated(true);
  } else {
    setSelectedIndex(index);
  }
  if (delegate_) delegate_->tabBarControllerDidSelectViewController(*this, target);
  return true;
}
