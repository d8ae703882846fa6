#pragma once
#include <memory>
#include <string>
#include <vector>

#include "uikit/UIView.h"
#include "uikit/UIViewController.h"

// The window: the root screen, the presented screens above it, and the text of what is
// on screen.
class UIWindow : public UIView {
 public:
  UIWindow();
  explicit UIWindow(CGRect frame);
  ~UIWindow() override;

  UIViewController* rootViewController() const { return root_.get(); }
  const std::shared_ptr<UIViewController>& rootViewControllerShared() const { return root_; }
  // The old root disappears and the new one appears (when the window is visible).
  void setRootViewController(std::shared_ptr<UIViewController> controller);
  void makeKeyAndVisible();
  bool isKeyWindow() const { return keyWindow() == this; }
  static UIWindow* keyWindow();
  static const std::vector<UIWindow*>& allWindows();
  static void layoutAllWindows();

  void setOverrideUserInterfaceStyle(UIUserInterfaceStyle style) override;
  // Tells every screen of the window that its traits may have changed.
  void updateTraits();
  // A new size for the screen and the window (a rotation): the root and the presented
  // screens are told first, then the views take the size and the changes asked for
  // alongside run; the completions run on the next turn.
  void transitionToSize(CGSize size);

  // Where screens that belong to no one screen are presented from: the root, or the
  // screen the root presents when that one is not being dismissed (one level only).
  UIViewController* topPresenter() const;
  // The screen a person sees in front: the last presented one, through its tab and
  // navigation containers.
  UIViewController* frontViewController() const;
  // What is on screen, as text (UIScreenText); `verbose` adds the screens' classes.
  std::string screenText(bool verbose = false);
  // The status strip above the screens is the system's: a press there reaches nothing,
  // not a row scrolled under it.
  UIView* hitTest(CGPoint point) override;

 private:
  std::shared_ptr<UIViewController> root_;
};
