#pragma once
#include <memory>
#include <vector>

#include "uikit/UINavigationBar.h"
#include "uikit/UIViewController.h"

class UINavigationController;

class UINavigationControllerDelegate {
 public:
  virtual ~UINavigationControllerDelegate() = default;
  virtual void navigationControllerWillShowViewController(UINavigationController&, UIViewController&, bool) {}
  virtual void navigationControllerDidShowViewController(UINavigationController&, UIViewController&, bool) {}
};

// A stack of screens under one navigation bar. Only the top screen is on screen and
// receives the appearance calls.
class UINavigationController : public UIViewController {
 public:
  UINavigationController();
  explicit UINavigationController(std::shared_ptr<UIViewController> rootViewController);

  const std::vector<std::shared_ptr<UIViewController>>& viewControllers() const { return stack_; }
  void setViewControllers(std::vector<std::shared_ptr<UIViewController>> controllers, bool animated = false);
  UIViewController* topViewController() const { return stack_.empty() ? nullptr : stack_.back().get(); }
  // The screen a person sees: what the top screen presents, else the top screen.
  UIViewController* visibleViewController() const;
  void pushViewController(std::shared_ptr<UIViewController> controller, bool animated);
  std::shared_ptr<UIViewController> popViewControllerAnimated(bool animated);
  std::vector<std::shared_ptr<UIViewController>> popToRootViewControllerAnimated(bool animated);
  std::vector<std::shared_ptr<UIViewController>> popToViewController(UIViewController* controller, bool animated);

  const std::shared_ptr<UINavigationBar>& navigationBar() const { return navigationBar_; }
  bool isNavigationBarHidden() const { return navigationBar_->isHidden(); }
  UIEdgeInsets safeAreaInsetsForChild(const UIViewController& child) const override;
  void setNavigationBarHidden(bool hidden, bool animated = false);
  UINavigationControllerDelegate* delegate() const { return delegate_; }
  void setDelegate(UINavigationControllerDelegate* delegate) { delegate_ = delegate; }

  // A person's back button: pops unless the top screen hides it or is the root.
  bool popByUser();

  void loadView() override;
  // The bar keeps the view's width and the top screen fills the view, at any size.
  void viewDidLayoutSubviews() override;
  std::vector<UIViewController*> childrenForAppearanceForwarding() const override;

 private:
  // Moves from the current top to `next` (already on the stack); `leaving` are taken off.
  void transition(UIViewController* from, const std::shared_ptr<UIViewController>& to,
                  std::vector<std::shared_ptr<UIViewController>> leaving, bool animated, const char* kind);

  std::vector<std::shared_ptr<UIViewController>> stack_;
  std::shared_ptr<UINavigationBar> navigationBar_;
  UINavigationControllerDelegate* delegate_ = nullptr;
};
