#pragma once
// A screen: its view, loaded on first use, the appearance calls in the platform's
// order, children, and modal presentation. Animated transitions finish on the next
// turn of the main loop; others at once.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "uikit/UINavigationItem.h"
#include "uikit/UIPresentationController.h"
#include "uikit/UITabBarItem.h"
#include "uikit/UITraitCollection.h"
#include "uikit/UIView.h"
#include "uikit/UIViewControllerTransitionCoordinator.h"

class UINavigationController;
class UITabBarController;
class UIWindow;

enum UIModalPresentationStyle : long {
  UIModalPresentationAutomatic = -2,
  UIModalPresentationNone = -1,
  UIModalPresentationFullScreen = 0,
  UIModalPresentationPageSheet = 1,
  UIModalPresentationFormSheet = 2,
  UIModalPresentationCurrentContext = 3,
  UIModalPresentationCustom = 4,
  UIModalPresentationOverFullScreen = 5,
  UIModalPresentationOverCurrentContext = 6,
  UIModalPresentationPopover = 7,
};

enum UIModalTransitionStyle : long {
  UIModalTransitionStyleCoverVertical = 0,
  UIModalTransitionStyleFlipHorizontal = 1,
  UIModalTransitionStyleCrossDissolve = 2,
};

enum UIStatusBarStyle : long { UIStatusBarStyleDefault = 0, UIStatusBarStyleLightContent = 1, UIStatusBarStyleDarkContent = 3 };

enum UIRectEdge : unsigned long { UIRectEdgeNone = 0, UIRectEdgeTop = 1, UIRectEdgeLeft = 2, UIRectEdgeBottom = 4, UIRectEdgeRight = 8, UIRectEdgeAll = 15 };

class UIViewController : public UIResponder, public std::enable_shared_from_this<UIViewController> {
 public:
  enum class AppearState { Disappeared, Appearing, Appeared, Disappearing };

  UIViewController();
  ~UIViewController() override;
  UIViewController(const UIViewController&) = delete;
  UIViewController& operator=(const UIViewController&) = delete;

  // The view: loadView then viewDidLoad on first use.
  const std::shared_ptr<UIView>& view();
  bool isViewLoaded() const { return view_ != nullptr; }
  UIView* viewIfLoaded() const { return view_.get(); }
  void loadViewIfNeeded() { view(); }
  void setView(std::shared_ptr<UIView> view);
  virtual void loadView();
  virtual void viewDidLoad() {}
  virtual void viewWillAppear(bool) {}
  virtual void viewDidAppear(bool) {}
  virtual void viewWillDisappear(bool) {}
  virtual void viewDidDisappear(bool) {}
  // Around every layout pass of the controller's view.
  virtual void viewWillLayoutSubviews() {}
  virtual void viewDidLayoutSubviews() {}
  // The window is about to take a new size; the base tells the children.
  virtual void viewWillTransitionToSize(CGSize size, UIViewControllerTransitionCoordinator& coordinator);

  // Appearance, as containers and presentations drive it. Repeated calls for the same
  // direction are ignored, so each call of the four above comes once per transition.
  AppearState appearState() const { return appearState_; }
  bool isVisible() const { return appearState_ == AppearState::Appearing || appearState_ == AppearState::Appeared; }
  void beginAppearanceTransition(bool appearing, bool animated);
  void endAppearanceTransition();

  // Titles and bar items.
  const std::string& title() const { return title_; }
  virtual void setTitle(std::string title);
  UINavigationItem& navigationItem() { return navigationItem_; }
  const std::shared_ptr<UITabBarItem>& tabBarItem();
  void setTabBarItem(std::shared_ptr<UITabBarItem> item) { tabBarItem_ = std::move(item); }

  // Children.
  UIViewController* parentViewController() const { return parent_; }
  const std::vector<std::shared_ptr<UIViewController>>& childViewControllers() const { return children_; }
  void addChildViewController(std::shared_ptr<UIViewController> child);
  void removeFromParentViewController();
  virtual void willMoveToParentViewController(UIViewController*) {}
  virtual void didMoveToParentViewController(UIViewController*) {}
  // Moves the view of `to` in place of the view of `from` (both children), with the
  // appearance calls when this controller is visible.
  void transitionFromViewController(UIViewController* from, UIViewController* to, double duration,
                                    unsigned long options, std::function<void()> animations,
                                    std::function<void(bool)> completion);
  UINavigationController* navigationController() const;
  UITabBarController* tabBarController() const;
  // How much of a child's view this container's own bars cover (a navigation bar
  // above, a tab bar below), beyond the screen's safe area.
  virtual UIEdgeInsets safeAreaInsetsForChild(const UIViewController&) const { return {}; }
  bool isMovingToParentViewController() const { return movingToParent_; }
  bool isMovingFromParentViewController() const { return movingFromParent_; }

  // Presentation. The controller at the top of this one's parents presents; a second
  // presentation while one is shown is refused with a log line, as the platform does.
  void presentViewController(std::shared_ptr<UIViewController> controller, bool animated,
                             std::function<void()> completion = {});
  // Dismisses what this controller presents, else the presentation this controller
  // belongs to.
  void dismissViewControllerAnimated(bool animated, std::function<void()> completion = {});
  UIViewController* presentedViewController() const { return presented_.get(); }
  UIViewController* presentingViewController() const;
  bool isBeingPresented() const { return beingPresented_; }
  bool isBeingDismissed() const { return beingDismissed_; }
  UIModalPresentationStyle modalPresentationStyle() const { return presentationStyle_; }
  void setModalPresentationStyle(UIModalPresentationStyle style) { presentationStyle_ = style; }
  // The style in force once presented: automatic and popovers adapt to the system and idiom.
  virtual UIModalPresentationStyle effectivePresentationStyle() const;
  UIModalTransitionStyle modalTransitionStyle() const { return transitionStyle_; }
  void setModalTransitionStyle(UIModalTransitionStyle style) { transitionStyle_ = style; }
  bool isModalInPresentation() const { return modalInPresentation_; }
  void setModalInPresentation(bool value) { modalInPresentation_ = value; }
  // The older name of the same flag.
  bool isModalInPopover() const { return modalInPresentation_; }
  void setModalInPopover(bool value) { modalInPresentation_ = value; }
  UIPresentationController* presentationController();
  // Only for a controller shown as a popover (a popover style on a pad).
  UIPopoverPresentationController* popoverPresentationController();
  // A person's swipe down on a sheet or tap beside a popover.
  bool dismissInteractivelyByUser();
  // Completes a transition that would finish on the next turn, at once.
  void finishPendingTransitions();

  // Traits.
  UITraitCollection traitCollection() const;
  UIUserInterfaceStyle overrideUserInterfaceStyle() const { return overrideStyle_; }
  void setOverrideUserInterfaceStyle(UIUserInterfaceStyle style);
  virtual void traitCollectionDidChange(const UITraitCollection&) {}
  static UITraitCollection systemTraitCollection();
  // Compares the traits with those last reported and tells this controller, its
  // children and what it presents of any change.
  void updateTraitsIfNeeded();

  // Status bar and layout figures.
  virtual UIStatusBarStyle preferredStatusBarStyle() const { return UIStatusBarStyleDefault; }
  virtual bool prefersStatusBarHidden() const { return false; }
  void setNeedsStatusBarAppearanceUpdate() { ++statusBarUpdates_; }
  size_t statusBarAppearanceUpdateCount() const { return statusBarUpdates_; }
  bool extendedLayoutIncludesOpaqueBars() const { return extendedLayoutIncludesOpaqueBars_; }
  void setExtendedLayoutIncludesOpaqueBars(bool v) { extendedLayoutIncludesOpaqueBars_ = v; }
  unsigned long edgesForExtendedLayout() const { return edges_; }
  void setEdgesForExtendedLayout(unsigned long e) { edges_ = e; }
  bool hidesBottomBarWhenPushed() const { return hidesBottomBar_; }
  void setHidesBottomBarWhenPushed(bool v) { hidesBottomBar_ = v; }
  bool definesPresentationContext() const { return definesContext_; }
  void setDefinesPresentationContext(bool v) { definesContext_ = v; }
  bool isEditing() const { return editing_; }
  virtual void setEditing(bool editing, bool animated);
  // The edges of the content area below the status and navigation bars and above the
  // tab bar, as guides of the controller's view.
  UILayoutGuide& topLayoutGuide();
  UILayoutGuide& bottomLayoutGuide();

  UIResponder* nextResponder() const override;
  // The class name, for the screen text.
  std::string className() const;
  // Extra lines a screen adds to the screen text (below its views).
  virtual void appendScreenText(std::vector<std::string>&) const {}

  // The controllers that receive this one's appearance calls.
  virtual std::vector<UIViewController*> childrenForAppearanceForwarding() const;

 protected:
  friend class UINavigationController;
  friend class UITabBarController;
  friend class UIWindow;
  void setParent(UIViewController* parent) { parent_ = parent; }
  void setMovingToParent(bool v) { movingToParent_ = v; }
  void setMovingFromParent(bool v) { movingFromParent_ = v; }
  // Runs `finish` now, or on the next turn when animated; finishPendingTransitions runs it early.
  // Runs `finish` at once, or when animated on the next turn (after `seconds` where
  // animations play).
  void scheduleTransition(bool animated, std::function<void()> finish, double seconds = 0.3);
  UIWindow* hostWindow();

 private:

  std::shared_ptr<UIView> view_;
  bool loadingView_ = false;
  AppearState appearState_ = AppearState::Disappeared;
  bool appearanceAnimated_ = false;
  std::string title_;
  UINavigationItem navigationItem_;
  std::shared_ptr<UITabBarItem> tabBarItem_;
  UIViewController* parent_ = nullptr;
  std::vector<std::shared_ptr<UIViewController>> children_;
  bool movingToParent_ = false, movingFromParent_ = false;
  std::shared_ptr<UIViewController> presented_;
  UIViewController* presenting_ = nullptr;
  bool beingPresented_ = false, beingDismissed_ = false;
  UIModalPresentationStyle presentationStyle_ = UIModalPresentationAutomatic;
  UIModalTransitionStyle transitionStyle_ = UIModalTransitionStyleCoverVertical;
  bool modalInPresentation_ = false;
  std::unique_ptr<UIPresentationController> presentationController_;
  UIUserInterfaceStyle overrideStyle_ = UIUserInterfaceStyleUnspecified;
  UITraitCollection reportedTraits_;
  bool traitsReported_ = false;
  size_t statusBarUpdates_ = 0;
  bool extendedLayoutIncludesOpaqueBars_ = false;
  unsigned long edges_ = UIRectEdgeAll;
  bool hidesBottomBar_ = false, definesContext_ = false, editing_ = false;
  std::vector<std::shared_ptr<std::function<void()>>> pendingTransitions_;
  std::unique_ptr<UILayoutGuide> topGuide_, bottomGuide_;
};
