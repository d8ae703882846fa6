#include "uikit/UIWindow.h"

#include <algorithm>

#include "uikit/UINavigationController.h"
#include "uikit/UIScreen.h"
#include "uikit/UIScreenText.h"
#include "uikit/UITabBarController.h"

namespace {
std::vector<UIWindow*>& windows() {
  static std::vector<UIWindow*> w;
  return w;
}
UIWindow* gKeyWindow = nullptr;
}  // namespace

UIWindow::UIWindow() : UIWindow(UIScreen::mainScreen().bounds()) {}

UIWindow::UIWindow(CGRect frame) : UIView(frame) { windows().push_back(this); }

UIView* UIWindow::hitTest(CGPoint point) {
  if (point.y < bounds().minY() + safeAreaInsetsWithoutBars().top) return nullptr;
  return UIView::hitTest(point);
}

UIWindow::~UIWindow() {
  auto& w = windows();
  w.erase(std::remove(w.begin(), w.end(), this), w.end());
  if (gKeyWindow == this) gKeyWindow = nullptr;
}

UIWindow* UIWindow::keyWindow() { return gKeyWindow; }
const std::vector<UIWindow*>& UIWindow::allWindows() { return windows(); }

void UIWindow::layoutAllWindows() {
  auto list = windows();
  for (UIWindow* w : list) w->layoutIfNeeded();
}

void UIWindow::setRootViewController(std::shared_ptr<UIViewController> controller) {
  UI_MAIN_THREAD_ONLY();
  if (controller == root_) return;
  auto old = root_;
  bool visible = isKeyWindow() && !isHidden();
  if (old) {
    old->finishPendingTransitions();
    if (visible) {
      old->beginAppearanceTransition(false, false);
      old->endAppearanceTransition();
    }
    if (old->isViewLoaded()) old->view()->removeFromSuperview();
  }
  root_ = std::move(controller);
  if (!root_) return;
  root_->view()->setFrame(bounds());
  insertSubviewAtIndex(root_->view(), 0);
  if (visible) {
    root_->beginAppearanceTransition(true, false);
    root_->endAppearanceTransition();
  }
}

void UIWindow::makeKeyAndVisible() {
  UI_MAIN_THREAD_ONLY();
  gKeyWindow = this;
  setHidden(false);
  if (root_ && !root_->isVisible()) {
    root_->beginAppearanceTransition(true, false);
    root_->endAppearanceTransition();
  }
}

void UIWindow::setOverrideUserInterfaceStyle(UIUserInterfaceStyle style) {
  UIView::setOverrideUserInterfaceStyle(style);
  updateTraits();
}

void UIWindow::updateTraits() {
  if (root_) root_->updateTraitsIfNeeded();
}

void UIWindow::transitionToSize(CGSize size) {
  UIViewControllerTransitionCoordinator coordinator;
  recordAnimation({"transition", coordinator.transitionDuration(), 0, 0, 0, 0, true});
  std::vector<std::shared_ptr<UIViewController>> screens;
  for (auto c = root_; c; c = c->presentedViewController() ? c->presentedViewController()->shared_from_this() : nullptr)
    screens.push_back(c);
  for (auto& c : screens) c->viewWillTransitionToSize(size, coordinator);
  UIScreen::mainScreen().setBounds(CGRect{{0, 0}, size});
  setFrame(CGRect{frame().origin, size});
  for (auto& c : screens)
    if (c->isViewLoaded() && c->view()->superview() == this)
      c->view()->setFrame(c->presentingViewController() ? c->presentationController()->frameOfPresentedViewInContainerView(bounds())
                                                        : bounds());
  coordinator.runAlongside();
  layoutIfNeeded();
  coordinator.finish();
}

UIViewController* UIWindow::topPresenter() const {
  UIViewController* root = root_.get();
  if (!root) return nullptr;
  UIViewController* presented = root->presentedViewController();
  if (presented && !presented->isBeingDismissed()) return presented;
  return root;
}

UIViewController* UIWindow::frontViewController() const {
  UIViewController* front = root_.get();
  if (!front) return nullptr;
  while (true) {
    while (UIViewController* p = front->presentedViewController()) {
      if (p->isBeingDismissed()) break;
      front = p;
    }
    if (auto* tab = dynamic_cast<UITabBarController*>(front)) {
      if (!tab->selectedViewController()) return front;
      front = tab->selectedViewController();
      continue;
    }
    if (auto* nav = dynamic_cast<UINavigationController*>(front)) {
      if (!nav->topViewController()) return front;
      front = nav->topViewController();
      continue;
    }
    if (front->presentedViewController() && !front->presentedViewController()->isBeingDismissed()) continue;
    return front;
  }
}

std::string UIWindow::screenText(bool verbose) { return UIScreenText::describe(*this, verbose); }
