#include "uikit/UIViewController.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>

#include "foundation/Log.h"
#include "foundation/RunLoop.h"
#include "uikit/UIDevice.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIScreen.h"
#include "uikit/UITabBarController.h"
#include "uikit/UIWindow.h"

namespace {
constexpr double kPresentationSeconds = 0.3;

bool coversPresenter(UIModalPresentationStyle style) {
  return style == UIModalPresentationFullScreen || style == UIModalPresentationCurrentContext;
}
}  // namespace

UIViewController::UIViewController() = default;

UIViewController::~UIViewController() {
  if (view_ && view_->owningViewController() == this) view_->setOwningViewController(nullptr);
  for (auto& child : children_)
    if (child->parent_ == this) child->parent_ = nullptr;
  if (presented_ && presented_->presenting_ == this) presented_->presenting_ = nullptr;
}

const std::shared_ptr<UIView>& UIViewController::view() {
  if (!view_ && !loadingView_) {
    loadingView_ = true;
    loadView();
    if (!view_) setView(std::make_shared<UIView>(UIScreen::mainScreen().bounds()));
    loadingView_ = false;
    viewDidLoad();
  }
  return view_;
}

void UIViewController::setView(std::shared_ptr<UIView> view) {
  UI_MAIN_THREAD_ONLY();
  if (view_ && view_->owningViewController() == this) view_->setOwningViewController(nullptr);
  view_ = std::move(view);
  if (view_) view_->setOwningViewController(this);
}

void UIViewController::loadView() { setView(std::make_shared<UIView>(UIScreen::mainScreen().bounds())); }

std::vector<UIViewController*> UIViewController::childrenForAppearanceForwarding() const {
  std::vector<UIViewController*> out;
  for (auto& c : children_)
    if (c->view_ && view_ && c->view_->isDescendantOfView(view_.get())) out.push_back(c.get());
  return out;
}

void UIViewController::beginAppearanceTransition(bool appearing, bool animated) {
  if (appearing) {
    if (isVisible()) return;
    loadViewIfNeeded();
    if (!traitsReported_) {
      reportedTraits_ = traitCollection();
      traitsReported_ = true;
    }
    appearState_ = AppearState::Appearing;
    appearanceAnimated_ = animated;
    viewWillAppear(animated);
  } else {
    if (!isVisible()) return;
    appearState_ = AppearState::Disappearing;
    appearanceAnimated_ = animated;
    viewWillDisappear(animated);
  }
  for (auto* c : childrenForAppearanceForwarding()) c->beginAppearanceTransition(appearing, animated);
}

void UIViewController::endAppearanceTransition() {
  if (appearState_ == AppearState::Appearing) {
    appearState_ = AppearState::Appeared;
    viewDidAppear(appearanceAnimated_);
  } else if (appearState_ == AppearState::Disappearing) {
    appearState_ = AppearState::Disappeared;
    viewDidDisappear(appearanceAnimated_);
  } else {
    return;
  }
  for (auto* c : childrenForAppearanceForwarding()) c->endAppearanceTransition();
}

void UIViewController::setTitle(std::string title) {
  UI_MAIN_THREAD_ONLY();
  title_ = std::move(title);
  navigationItem_.setTitle(title_);
  if (tabBarItem_ && tabBarItem_->title().empty()) tabBarItem_->setTitle(title_);
}

const std::shared_ptr<UITabBarItem>& UIViewController::tabBarItem() {
  if (!tabBarItem_) tabBarItem_ = std::make_shared<UITabBarItem>(title_, nullptr, 0);
  return tabBarItem_;
}

void UIViewController::addChildViewController(std::shared_ptr<UIViewController> child) {
  UI_MAIN_THREAD_ONLY();
  if (!child || child->parent_ == this || child.get() == this) return;
  if (child->parent_) child->removeFromParentViewController();
  child->willMoveToParentViewController(this);
  child->parent_ = this;
  children_.push_back(std::move(child));
}

void UIViewController::removeFromParentViewController() {
  UI_MAIN_THREAD_ONLY();
  if (!parent_) return;
  auto keep = weak_from_this().lock();
  auto& siblings = parent_->children_;
  siblings.erase(std::remove_if(siblings.begin(), siblings.end(), [this](const auto& c) { return c.get() == this; }),
                 siblings.end());
  parent_ = nullptr;
  didMoveToParentViewController(nullptr);
}

void UIViewController::transitionFromViewController(UIViewController* from, UIViewController* to, double duration,
                                                    unsigned long options, std::function<void()> animations,
                                                    std::function<void(bool)> completion) {
  if (!from || !to) return;
  UIView::recordAnimation({"transition", duration, 0, 0, 0, options, true});
  bool visible = isVisible();
  to->loadViewIfNeeded();
  UIView* container = from->view_ && from->view_->superview() ? from->view_->superview() : view().get();
  if (visible) {
    from->beginAppearanceTransition(false, duration > 0);
    to->beginAppearanceTransition(true, duration > 0);
  }
  if (from->view_ && from->view_->superview() == container) container->insertSubviewAbove(to->view_, from->view_.get());
  else container->addSubview(to->view_);
  if (animations) animations();
  if (from->view_ && from->view_->superview()) from->view_->removeFromSuperview();
  auto fromKeep = from->weak_from_this().lock(), toKeep = to->weak_from_this().lock();
  scheduleTransition(true, [fromKeep, toKeep, from, to, visible, completion = std::move(completion)] {
    if (visible) {
      from->endAppearanceTransition();
      to->endAppearanceTransition();
    }
    if (completion) completion(true);
  });
}

UINavigationController* UIViewController::navigationController() const {
  for (UIViewController* p = parent_; p; p = p->parent_)
    if (auto* nav = dynamic_cast<UINavigationController*>(p)) return nav;
  return nullptr;
}

UITabBarController* UIViewController::tabBarController() const {
  for (UIViewController* p = parent_; p; p = p->parent_)
    if (auto* tab = dynamic_cast<UITabBarController*>(p)) return tab;
  return nullptr;
}

void UIViewController::scheduleTransition(bool animated, std::function<void()> finish, double seconds) {
  if (!animated) {
    finish();
    return;
  }
  auto holder = std::make_shared<std::function<void()>>(std::move(finish));
  pendingTransitions_.erase(std::remove_if(pendingTransitions_.begin(), pendingTransitions_.end(),
                                           [](const auto& h) { return !*h; }),
                            pendingTransitions_.end());
  pendingTransitions_.push_back(holder);
  auto run = [holder] {
    if (!*holder) return;
    auto f = std::move(*holder);
    *holder = nullptr;
    f();
  };
  // Where animations play, the transition ends when its animation does.
  if (UIView::animationsPlayOverTime()) RunLoop::main().addTimer(seconds, run);
  else RunLoop::main().post(run);
}

void UIViewController::finishPendingTransitions() {
  auto pending = std::move(pendingTransitions_);
  pendingTransitions_.clear();
  for (auto& holder : pending) {
    if (!*holder) continue;
    auto f = std::move(*holder);
    *holder = nullptr;
    f();
  }
}

UIWindow* UIViewController::hostWindow() {
  UIViewController* root = this;
  while (true) {
    if (root->parent_) root = root->parent_;
    else if (root->presenting_) root = root->presenting_;
    else break;
  }
  if (root->view_)
    if (UIWindow* w = root->view_->window()) return w;
  return UIWindow::keyWindow();
}

UIViewController* UIViewController::presentingViewController() const {
  for (const UIViewController* c = this; c; c = c->parent_)
    if (c->presenting_) return c->presenting_;
  return nullptr;
}

UIModalPresentationStyle UIViewController::effectivePresentationStyle() const {
  bool modern = UIDevice::currentDevice().systemVersionIsAtLeast("13.0");
  bool pad = UIDevice::currentDevice().userInterfaceIdiom() == UIUserInterfaceIdiomPad;
  UIModalPresentationStyle style = presentationStyle_;
  if (style == UIModalPresentationAutomatic) style = modern ? UIModalPresentationPageSheet : UIModalPresentationFullScreen;
  if (style == UIModalPresentationPopover && !pad) style = UIModalPresentationFullScreen;
  if ((style == UIModalPresentationPageSheet || style == UIModalPresentationFormSheet) && !modern && !pad)
    style = UIModalPresentationFullScreen;
  return style;
}

void UIViewController::presentViewController(std::shared_ptr<UIViewController> controller, bool animated,
                                             std::function<void()> completion) {
  UI_MAIN_THREAD_ONLY();
  if (!controller) return;
  UIViewController* host = this;
  while (host->parent_) host = host->parent_;
  if (host->presented_) host->finishPendingTransitions();
  if (host->presented_) {
    KVLog("Attempt to present %s on %s which is already presenting %s", controller->className().c_str(),
          host->className().c_str(), host->presented_->className().c_str());
    return;
  }
  if (controller->parent_ || controller->presenting_ || controller.get() == host) {
    KVLog("Attempt to present %s, which is already shown", controller->className().c_str());
    return;
  }
  auto style = controller->effectivePresentationStyle();
  if (style == UIModalPresentationPopover) {
    auto* popover = controller->popoverPresentationController();
    if (popover && !popover->isAnchored())
      KVLog("popover %s presented without a source view or bar item", controller->className().c_str());
  }
  bool covers = coversPresenter(style);
  host->presented_ = controller;
  controller->presenting_ = host;
  controller->beingPresented_ = true;
  UIWindow* window = host->hostWindow();
  controller->loadViewIfNeeded();
  if (window) {
    controller->view_->setFrame(controller->presentationController()->frameOfPresentedViewInContainerView(window->bounds()));
    window->addSubview(controller->view_);
    // Where animations play, the screen rises from below the window.
    CGRect shown = controller->view_->frame();
    if (animated)
      UIView::playFrameChange(*controller->view_, CGRect::make(shown.minX(), window->bounds().maxY(), shown.width(), shown.height()),
                              kPresentationSeconds, UIViewAnimationOptionCurveEaseOut);
  }
  UIView::recordAnimation({"presentation", animated ? kPresentationSeconds : 0, 0, 0, 0, 0, animated});
  bool hostVisible = host->isVisible();
  if (covers && hostVisible) host->beginAppearanceTransition(false, animated);
  if (hostVisible || window) controller->beginAppearanceTransition(true, animated);
  auto hostKeep = host->weak_from_this().lock();
  host->scheduleTransition(animated, [controller, host, hostKeep, covers, hostVisible, completion = std::move(completion)] {
    controller->beingPresented_ = false;
    controller->endAppearanceTransition();
    if (covers && hostVisible) {
      host->endAppearanceTransition();
      if (host->view_ && controller->presenting_ == host) host->view_->removeFromSuperview();
    }
    if (completion) completion();
  });
}

void UIViewController::dismissViewControllerAnimated(bool animated, std::function<void()> completion) {
  UI_MAIN_THREAD_ONLY();
  UIViewController* root = this;
  while (root->parent_) root = root->parent_;
  UIViewController* presenter = root->presented_ ? root : root->presenting_;
  if (!presenter) {
    UIView::completeOnNextTurn([completion](bool) {
      if (completion) completion();
    });
    return;
  }
  presenter->finishPendingTransitions();
  if (!presenter->presented_) return;
  auto target = presenter->presented_;
  if (target->beingDismissed_) return;
  std::vector<std::shared_ptr<UIViewController>> chain;
  for (auto c = target; c; c = c->presented_) chain.insert(chain.begin(), c);  // top first
  UIView::recordAnimation({"dismissal", animated ? kPresentationSeconds : 0, 0, 0, 0, 0, animated});
  bool covered = coversPresenter(target->effectivePresentationStyle());
  for (auto& c : chain) {
    c->beingDismissed_ = true;
    c->beginAppearanceTransition(false, animated);
  }
  UIWindow* window = presenter->hostWindow();
  if (covered && window && presenter->view_ && !presenter->view_->superview() && target->view_)
    window->insertSubviewBelow(presenter->view_, target->view_.get());
  bool presenterShown = presenter->view_ && presenter->view_->window();
  // Where animations play, the screen sinks below the window before it goes.
  if (animated && window && target->view_ && target->view_->superview() == window && UIView::animationsPlayOverTime())
    UIView::animateWithDuration(kPresentationSeconds, 0, UIViewAnimationOptionCurveEaseIn, [&] {
      CGRect f = target->view_->frame();
      target->view_->setFrame(CGRect::make(f.minX(), window->bounds().maxY(), f.width(), f.height()));
    });
  if (covered && presenterShown) presenter->beginAppearanceTransition(true, animated);
  auto presenterKeep = presenter->weak_from_this().lock();
  presenter->scheduleTransition(animated, [chain, presenter, presenterKeep, covered, presenterShown,
                                           completion = std::move(completion)] {
    for (auto& c : chain) {
      c->endAppearanceTransition();
      if (c->view_) c->view_->removeFromSuperview();
    }
    for (auto& c : chain) {
      if (c->presenting_ && c->presenting_->presented_ == c) c->presenting_->presented_.reset();
      c->presenting_ = nullptr;
      c->beingDismissed_ = false;
    }
    if (covered && presenterShown) presenter->endAppearanceTransition();
    if (completion) completion();
  });
}

UIPresentationController* UIViewController::presentationController() {
  if (!presentationController_) {
    if (presentationStyle_ == UIModalPresentationPopover)
      presentationController_ = std::make_unique<UIPopoverPresentationController>(this);
    else
      presentationController_ = std::make_unique<UIPresentationController>(this);
  }
  return presentationController_.get();
}

UIPopoverPresentationController* UIViewController::popoverPresentationController() {
  if (presentationStyle_ != UIModalPresentationPopover) return nullptr;
  if (presentationController_ && !dynamic_cast<UIPopoverPresentationController*>(presentationController_.get()))
    presentationController_.reset();
  return static_cast<UIPopoverPresentationController*>(presentationController());
}

bool UIViewController::dismissInteractivelyByUser() {
  UIViewController* root = this;
  while (root->parent_) root = root->parent_;
  if (!root->presenting_) return false;
  auto style = root->effectivePresentationStyle();
  bool sheet = (style == UIModalPresentationPageSheet || style == UIModalPresentationFormSheet) &&
               UIDevice::currentDevice().systemVersionIsAtLeast("13.0");
  if (!sheet && style != UIModalPresentationPopover) return false;
  auto* pc = root->presentationController();
  auto* delegate = pc->delegate();
  if (root->modalInPresentation_ || (delegate && !delegate->presentationControllerShouldDismiss(*pc))) {
    if (delegate) delegate->presentationControllerDidAttemptToDismiss(*pc);
    return false;
  }
  if (delegate) delegate->presentationControllerWillDismiss(*pc);
  auto keep = root->weak_from_this().lock();
  root->dismissViewControllerAnimated(true, [keep, pc, delegate] {
    if (delegate) delegate->presentationControllerDidDismiss(*pc);
  });
  return true;
}

UITraitCollection UIViewController::systemTraitCollection() {
  UITraitCollection t;
  t.userInterfaceStyle = UIScreen::mainScreen().systemUserInterfaceStyle();
  t.userInterfaceIdiom = UIDevice::currentDevice().userInterfaceIdiom();
  t.displayScale = UIScreen::mainScreen().scale();
  return t;
}

UITraitCollection UIViewController::traitCollection() const {
  UITraitCollection t = systemTraitCollection();
  const UIViewController* c = this;
  while (true) {
    if (c->overrideStyle_ != UIUserInterfaceStyleUnspecified) {
      t.userInterfaceStyle = c->overrideStyle_;
      return t;
    }
    if (c->parent_) c = c->parent_;
    else if (c->presenting_) c = c->presenting_;
    else break;
  }
  if (c->view_)
    if (UIWindow* w = c->view_->window())
      if (w->overrideUserInterfaceStyle() != UIUserInterfaceStyleUnspecified) t.userInterfaceStyle = w->overrideUserInterfaceStyle();
  return t;
}

void UIViewController::setOverrideUserInterfaceStyle(UIUserInterfaceStyle style) {
  overrideStyle_ = style;
  updateTraitsIfNeeded();
}

void UIViewController::updateTraitsIfNeeded() {
  UITraitCollection now = traitCollection();
  if (traitsReported_ && now != reportedTraits_) {
    UITraitCollection previous = reportedTraits_;
    reportedTraits_ = now;
    traitCollectionDidChange(previous);
  } else if (!traitsReported_ && isViewLoaded()) {
    reportedTraits_ = now;
    traitsReported_ = true;
  }
  auto children = children_;
  for (auto& c : children) c->updateTraitsIfNeeded();
  if (auto presented = presented_) presented->updateTraitsIfNeeded();
}

void UIViewController::setEditing(bool editing, bool) { editing_ = editing; }

void UIViewController::viewWillTransitionToSize(CGSize size, UIViewControllerTransitionCoordinator& coordinator) {
  auto children = children_;
  for (auto& c : children) c->viewWillTransitionToSize(size, coordinator);
}

UILayoutGuide& UIViewController::topLayoutGuide() {
  if (!topGuide_) topGuide_ = std::make_unique<UILayoutGuide>(view().get(), "UIViewControllerTopLayoutGuide");
  return *topGuide_;
}

UILayoutGuide& UIViewController::bottomLayoutGuide() {
  if (!bottomGuide_) bottomGuide_ = std::make_unique<UILayoutGuide>(view().get(), "UIViewControllerBottomLayoutGuide");
  return *bottomGuide_;
}

UIResponder* UIViewController::nextResponder() const {
  if (view_ && view_->superview()) return view_->superview();
  if (parent_) return parent_;
  return presenting_;
}

std::string UIViewController::className() const {
  const char* mangled = typeid(*this).name();
  int status = 0;
  char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
  std::string name = status == 0 && demangled ? demangled : mangled;
  std::free(demangled);
  return name;
}

