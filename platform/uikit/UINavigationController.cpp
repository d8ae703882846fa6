#include "uikit/UINavigationController.h"

#include <algorithm>
#include <string_view>

#include "foundation/Log.h"
#include "uikit/UIScreen.h"

namespace {
constexpr double kTransitionSeconds = 0.35;
}  // namespace

UINavigationController::UINavigationController() { navigationBar_ = std::make_shared<UINavigationBar>(); }

UINavigationController::UINavigationController(std::shared_ptr<UIViewController> rootViewController)
    : UINavigationController() {
  if (rootViewController) setViewControllers({std::move(rootViewController)}, false);
}

void UINavigationController::viewDidLayoutSubviews() {
  CGRect bounds = view()->bounds();
  CGRect bar = navigationBar_->frame();
  // Under the status bar where the screen has one above it; at the top of a sheet.
  double top = view()->window() ? view()->safeAreaInsets().top : bar.minY();
  navigationBar_->setFrame(CGRect::make(bar.minX(), top, bounds.width(), bar.height()));
  if (auto* top = topViewController(); top && top->isViewLoaded() && top->view()->superview() == view().get())
    top->view()->setFrame(bounds);
}

UIEdgeInsets UINavigationController::safeAreaInsetsForChild(const UIViewController& child) const {
  if (navigationBar_->isHidden() || !child.viewIfLoaded() || child.viewIfLoaded()->superview() != navigationBar_->superview())
    return {};
  // Below the status bar, which the screen's safe area already keeps clear, and below
  // the large title's band where the bar shows one.
  double band = navigationBar_->showsLargeTitle() ? UINavigationBar::kLargeTitleHeight : 0;
  return {navigationBar_->frame().height() + band, 0, 0, 0};
}

void UINavigationController::loadView() {
  UIViewController::loadView();
  view()->addSubview(navigationBar_);
  if (auto* top = topViewController()) {
    top->view()->setFrame(view()->bounds());
    view()->insertSubviewBelow(top->view(), navigationBar_.get());
  }
}

std::vector<UIViewController*> UINavigationController::childrenForAppearanceForwarding() const {
  if (stack_.empty()) return {};
  return {stack_.back().get()};
}

UIViewController* UINavigationController::visibleViewController() const {
  UIViewController* top = topViewController();
  if (presentedViewController()) return presentedViewController();
  return top;
}

void UINavigationController::setNavigationBarHidden(bool hidden, bool animated) {
  UI_MAIN_THREAD_ONLY();
  if (animated) UIView::recordAnimation({"animation", 0.25, 0, 0, 0, 0, true});
  navigationBar_->setHidden(hidden);
}

void UINavigationController::transition(UIViewController* from, const std::shared_ptr<UIViewController>& to,
                                        std::vector<std::shared_ptr<UIViewController>> leaving, bool animated,
                                        const char* kind) {
  UIView::recordAnimation({kind, animated ? kTransitionSeconds : 0, 0, 0, 0, 0, animated});
  bool visible = isVisible();
  bool changesTop = from != to.get();
  if (delegate_ && to) delegate_->navigationControllerWillShowViewController(*this, *to, animated);
  if (visible && changesTop) {
    if (from) from->beginAppearanceTransition(false, animated);
    if (to) to->beginAppearanceTransition(true, animated);
  }
  if (isViewLoaded() && to && changesTop) {
    to->view()->setFrame(view()->bounds());
    view()->insertSubviewBelow(to->view(), navigationBar_.get());
    // Where animations play, a pushed screen comes in from the right, the one gone back
    // to from the left.
    if (animated) {
      CGRect b = view()->bounds();
      double from = std::string_view(kind) == "push" ? b.width() : -b.width();
      UIView::playFrameChange(*to->view(), CGRect::make(b.minX() + from, b.minY(), b.width(), b.height()), kTransitionSeconds,
                              UIViewAnimationOptionCurveEaseOut);
    }
  }
  auto self = std::static_pointer_cast<UINavigationController>(weak_from_this().lock());
  auto fromKeep = from ? from->weak_from_this().lock() : nullptr;
  scheduleTransition(animated, [this, self, from, fromKeep, to, leaving, visible, changesTop, animated] {
    if (visible && changesTop) {
      if (from) from->endAppearanceTransition();
      if (to) to->endAppearanceTransition();
    }
    UIView* navView = isViewLoaded() ? view().get() : nullptr;
    if (navView && from && changesTop && from->isViewLoaded() && from->view()->superview() == navView &&
        std::find_if(leaving.begin(), leaving.end(), [&](auto& c) { return c.get() == from; }) == leaving.end())
      from->view()->removeFromSuperview();
    for (auto& c : leaving) {
      if (navView && c->isViewLoaded() && c->view()->superview() == navView) c->view()->removeFromSuperview();
      c->removeFromParentViewController();
      c->setMovingFromParent(false);
    }
    if (to && to->isMovingToParentViewController()) {
      to->didMoveToParentViewController(this);
      to->setMovingToParent(false);
    }
    if (delegate_ && to) delegate_->navigationControllerDidShowViewController(*this, *to, animated);
  }, kTransitionSeconds);
}

void UINavigationController::pushViewController(std::shared_ptr<UIViewController> controller, bool animated) {
  UI_MAIN_THREAD_ONLY();
  if (!controller) return;
  finishPendingTransitions();
  if (std::find(stack_.begin(), stack_.end(), controller) != stack_.end() || controller->parentViewController()) {
    KVLog("pushing %s, which is already in a stack", controller->className().c_str());
    return;
  }
  UIViewController* from = topViewController();
  addChildViewController(controller);
  controller->setMovingToParent(true);
  stack_.push_back(controller);
  transition(from, controller, {}, animated, "push");
}

std::shared_ptr<UIViewController> UINavigationController::popViewControllerAnimated(bool animated) {
  UI_MAIN_THREAD_ONLY();
  finishPendingTransitions();
  if (stack_.size() <= 1) return nullptr;
  auto top = stack_.back();
  top->willMoveToParentViewController(nullptr);
  top->setMovingFromParent(true);
  stack_.pop_back();
  transition(top.get(), stack_.back(), {top}, animated, "pop");
  return top;
}

std::vector<std::shared_ptr<UIViewController>> UINavigationController::popToViewController(UIViewController* controller,
                                                                                            bool animated) {
  UI_MAIN_THREAD_ONLY();
  finishPendingTransitions();
  auto it = std::find_if(stack_.begin(), stack_.end(), [&](auto& c) { return c.get() == controller; });
  if (it == stack_.end() || it + 1 == stack_.end()) return {};
  std::vector<std::shared_ptr<UIViewController>> popped(it + 1, stack_.end());
  for (auto& c : popped) {
    c->willMoveToParentViewController(nullptr);
    c->setMovingFromParent(true);
  }
  auto top = stack_.back();
  stack_.erase(it + 1, stack_.end());
  transition(top.get(), stack_.back(), popped, animated, "pop");
  return popped;
}

std::vector<std::shared_ptr<UIViewController>> UINavigationController::popToRootViewControllerAnimated(bool animated) {
  UI_MAIN_THREAD_ONLY();
  if (stack_.empty()) return {};
  return popToViewController(stack_.front().get(), animated);
}

void UINavigationController::setViewControllers(std::vector<std::shared_ptr<UIViewController>> controllers, bool animated) {
  UI_MAIN_THREAD_ONLY();
  finishPendingTransitions();
  UIViewController* from = topViewController();
  std::vector<std::shared_ptr<UIViewController>> leaving;
  for (auto& c : stack_)
    if (std::find(controllers.begin(), controllers.end(), c) == controllers.end()) {
      c->willMoveToParentViewController(nullptr);
      c->setMovingFromParent(true);
      leaving.push_back(c);
    }
  for (auto& c : controllers)
    if (c->parentViewController() != this) {
      addChildViewController(c);
      c->setMovingToParent(true);
    }
  auto keepFrom = from ? from->weak_from_this().lock() : nullptr;
  stack_ = std::move(controllers);
  transition(from, stack_.empty() ? nullptr : stack_.back(), leaving, animated, "push");
  for (auto& c : stack_)
    if (c->isMovingToParentViewController() && c != stack_.back()) {
      c->didMoveToParentViewController(this);
      c->setMovingToParent(false);
    }
}

bool UINavigationController::popByUser() {
  auto* top = topViewController();
  if (!top || stack_.size() <= 1 || top->navigationItem().hidesBackButton()) return false;
  return popViewControllerAnimated(true) != nullptr;
}
