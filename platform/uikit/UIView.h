#pragma once
// A headless view: frame, bounds, subviews and the figures the screens set. Nothing is
// drawn; the window prints what a person would see (appendScreenText).
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "uikit/CALayer.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIColor.h"
#include "uikit/UIGeometry.h"
#include "uikit/UIMainThread.h"
#include "uikit/UIResponder.h"
#include "uikit/UITraitCollection.h"

class UIGestureRecognizer;
class UIViewController;
class UIWindow;

enum UIViewContentMode : long {
  UIViewContentModeScaleToFill = 0,
  UIViewContentModeScaleAspectFit = 1,
  UIViewContentModeScaleAspectFill = 2,
  UIViewContentModeRedraw = 3,
  UIViewContentModeCenter = 4,
};

enum UIViewAnimationOptions : unsigned long {
  UIViewAnimationOptionLayoutSubviews = 1 << 0,
  UIViewAnimationOptionAllowUserInteraction = 1 << 1,
  UIViewAnimationOptionBeginFromCurrentState = 1 << 2,
  UIViewAnimationOptionCurveEaseInOut = 0 << 16,
  UIViewAnimationOptionCurveEaseIn = 1 << 16,
  UIViewAnimationOptionCurveEaseOut = 2 << 16,
  UIViewAnimationOptionCurveLinear = 3 << 16,
  UIViewAnimationOptionTransitionNone = 0 << 20,
  UIViewAnimationOptionTransitionFlipFromLeft = 1 << 20,
  UIViewAnimationOptionTransitionCrossDissolve = 5 << 20,
};

// One animation as the screens asked for it; kept so tests can check the figures.
struct UIAnimationRecord {
  std::string kind;  // "animation", "spring", "transition", "presentation", "dismissal", "push", "pop"
  double duration = 0;
  double delay = 0;
  double damping = 0;
  double velocity = 0;
  unsigned long options = 0;
  bool animated = true;
};

// Something a person can tap inside a view that has no view of its own, such as a link
// in a text or a page, named by the text they read.
struct UIViewTapTarget {
  std::string text;
  std::function<bool()> tap;
};

class UIView : public UIResponder, public std::enable_shared_from_this<UIView> {
 public:
  UIView();
  explicit UIView(CGRect frame);
  ~UIView() override;
  UIView(const UIView&) = delete;
  UIView& operator=(const UIView&) = delete;

  // Geometry.
  CGRect frame() const { return frame_; }
  virtual void setFrame(CGRect frame);
  CGRect bounds() const { return CGRect{boundsOrigin_, frame_.size}; }
  void setBounds(CGRect bounds);
  CGPoint center() const;
  void setCenter(CGPoint center);
  const CGAffineTransform& transform() const { return transform_; }
  void setTransform(const CGAffineTransform& transform) { UI_MAIN_THREAD_ONLY(); transform_ = transform; }

  // Appearance.
  double alpha() const { return alpha_; }
  void setAlpha(double alpha);
  bool isHidden() const { return hidden_; }
  // Showing or hiding a view lays its superview out again (a stack closes the gap).
  virtual void setHidden(bool hidden);
  const std::optional<UIColor>& backgroundColor() const { return backgroundColor_; }
  virtual void setBackgroundColor(std::optional<UIColor> color) { UI_MAIN_THREAD_ONLY(); backgroundColor_ = std::move(color); }
  // The tint in force: the view's own, else its superview's, else the system blue.
  UIColor tintColor() const;
  const std::optional<UIColor>& ownTintColor() const { return tintColor_; }
  void setTintColor(std::optional<UIColor> color);
  virtual void tintColorDidChange() {}
  bool isUserInteractionEnabled() const { return userInteractionEnabled_; }
  void setUserInteractionEnabled(bool enabled) { UI_MAIN_THREAD_ONLY(); userInteractionEnabled_ = enabled; }
  bool clipsToBounds() const { return layer_.masksToBounds; }
  void setClipsToBounds(bool clips) { UI_MAIN_THREAD_ONLY(); layer_.masksToBounds = clips; }
  UIViewContentMode contentMode() const { return contentMode_; }
  void setContentMode(UIViewContentMode mode) { UI_MAIN_THREAD_ONLY(); contentMode_ = mode; }
  long tag() const { return tag_; }
  void setTag(long tag) { UI_MAIN_THREAD_ONLY(); tag_ = tag; }
  CALayer& layer() { return layer_; }
  const CALayer& layer() const { return layer_; }
  const std::string& accessibilityIdentifier() const { return accessibilityIdentifier_; }
  void setAccessibilityIdentifier(std::string identifier) { accessibilityIdentifier_ = std::move(identifier); }
  const std::string& accessibilityLabel() const { return accessibilityLabel_; }
  void setAccessibilityLabel(std::string label) { accessibilityLabel_ = std::move(label); }
  // What a control's state is now, read after its label ("waiting for ..." on a dimmed
  // button); the screen text shows it beside "(disabled)".
  const std::string& accessibilityValue() const { return accessibilityValue_; }
  void setAccessibilityValue(std::string value) { accessibilityValue_ = std::move(value); }
  UIUserInterfaceStyle overrideUserInterfaceStyle() const { return overrideStyle_; }
  virtual void setOverrideUserInterfaceStyle(UIUserInterfaceStyle style) { UI_MAIN_THREAD_ONLY(); overrideStyle_ = style; }
  // The traits of the view: the nearest style override up the views and their
  // controllers, else the system's style.
  UITraitCollection traitCollection() const;

  // Hierarchy.
  UIView* superview() const { return superview_; }
  const std::vector<std::shared_ptr<UIView>>& subviews() const { return subviews_; }
  void addSubview(std::shared_ptr<UIView> view);
  void insertSubviewAtIndex(std::shared_ptr<UIView> view, size_t index);
  void insertSubviewBelow(std::shared_ptr<UIView> view, const UIView* sibling);
  void insertSubviewAbove(std::shared_ptr<UIView> view, const UIView* sibling);
  void bringSubviewToFront(const UIView* view);
  void sendSubviewToBack(const UIView* view);
  virtual void removeFromSuperview();
  // Removes each view from its superview as removeFromSuperview does, the subviews of
  // each superview gone through once for all of them rather than once per view (a table
  // retiring its cells).
  static void removeFromSuperviews(const std::vector<std::shared_ptr<UIView>>& views);
  bool isDescendantOfView(const UIView* view) const;
  // Depth first, the view itself first.
  UIView* viewWithTag(long tag);
  UIWindow* window() const;
  // Not hidden, not transparent, and so for every superview up to a window.
  bool isVisibleInWindow() const;

  // Touches. The front-most view under the point (in this view's bounds) that takes
  // touches: a hidden, transparent or untouchable view answers nothing, nor does anything
  // outside the bounds of a view it lies in, since none of that is seen there.
  virtual UIView* hitTest(CGPoint point);
  virtual bool pointInside(CGPoint point) const { return bounds().contains(point); }
  virtual void willMoveToSuperview(UIView*) {}
  virtual void didMoveToSuperview() {}
  virtual void didMoveToWindow() {}
  virtual void didAddSubview(UIView*) {}
  virtual void willRemoveSubview(UIView*) {}

  // Layout. Marking a view schedules a layout pass of the windows on the next turn.
  void setNeedsLayout();
  bool needsLayout() const { return needsLayout_; }
  void layoutIfNeeded();
  virtual void layoutSubviews() {}
  // Every layout pass, before the view's own layout: the safe area may have moved.
  virtual void safeAreaInsetsMayHaveChanged() {}
  virtual CGSize sizeThatFits(CGSize size) const;
  void sizeToFit();
  virtual CGSize intrinsicContentSize() const { return {-1, -1}; }
  // The view's own size changed: the superview places it again on the next layout pass.
  void invalidateIntrinsicContentSize() {
    if (superview_) superview_->setNeedsLayout();
  }
  // The screen's safe area within the view; where content keeps clear of the bars
  // (below), also the navigation and tab bars over a controller's view.
  UIEdgeInsets safeAreaInsets() const;
  // Where a person watches (the desktop window), the safe area takes in the bars and
  // scroll views inset their content by it, so that content starts below a navigation
  // bar and ends above a tab bar; the prompt lays its screens out so too, to list what
  // the drawing shows. Off (tests that do not draw), content lies under the bars.
  static void setContentKeepsClearOfBars(bool clear);
  static bool contentKeepsClearOfBars();
  // The screen's safe area alone, whatever the bars.
  UIEdgeInsets safeAreaInsetsWithoutBars() const;
  // Where content keeps clear of the bars, the parts of the view a bar covers, above and
  // below: the navigation bar with the status bar over it (and the large title's band),
  // the tab bar with what floats over it and the home indicator under it. An edge no bar
  // covers is none: the screen's own layout keeps clear of the status bar there.
  UIEdgeInsets insetsUnderBars() const;
  // The part of the view's bounds a person sees past the bars (all of them where content
  // lies under the bars): less what they cover, though a large title's band its title
  // has left (the content scrolled up into it) shows what lies there.
  CGRect boundsClearOfBars() const;
  // What of the view's bounds is seen: past the bars, and within each ancestor that cuts
  // what it holds (a scroll view, a view that clips, the window). The screen's text lists
  // the rows that lie there, as the window draws them.
  CGRect shownBounds() const;
  void setSafeAreaInsetsOverride(std::optional<UIEdgeInsets> insets) { safeAreaOverride_ = insets; }
  UIEdgeInsets layoutMargins() const { return layoutMargins_; }
  void setLayoutMargins(UIEdgeInsets margins) { UI_MAIN_THREAD_ONLY(); layoutMargins_ = margins; }
  bool translatesAutoresizingMaskIntoConstraints() const { return translatesMask_; }
  void setTranslatesAutoresizingMaskIntoConstraints(bool value) { UI_MAIN_THREAD_ONLY(); translatesMask_ = value; }

  // Constraints.
  const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints() const { return constraints_; }
  void addConstraint(std::shared_ptr<NSLayoutConstraint> constraint);
  void addConstraints(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints);
  void removeConstraint(const NSLayoutConstraint* constraint);
  // Active constraints, held anywhere in the window's tree, that pin this view.
  std::vector<std::shared_ptr<NSLayoutConstraint>> constraintsAffectingView() const;
  NSLayoutAnchor leadingAnchor() { return {{this, nullptr}, NSLayoutAttributeLeading}; }
  NSLayoutAnchor trailingAnchor() { return {{this, nullptr}, NSLayoutAttributeTrailing}; }
  NSLayoutAnchor leftAnchor() { return {{this, nullptr}, NSLayoutAttributeLeft}; }
  NSLayoutAnchor rightAnchor() { return {{this, nullptr}, NSLayoutAttributeRight}; }
  NSLayoutAnchor topAnchor() { return {{this, nullptr}, NSLayoutAttributeTop}; }
  NSLayoutAnchor bottomAnchor() { return {{this, nullptr}, NSLayoutAttributeBottom}; }
  NSLayoutAnchor widthAnchor() { return {{this, nullptr}, NSLayoutAttributeWidth}; }
  NSLayoutAnchor heightAnchor() { return {{this, nullptr}, NSLayoutAttributeHeight}; }
  NSLayoutAnchor centerXAnchor() { return {{this, nullptr}, NSLayoutAttributeCenterX}; }
  NSLayoutAnchor centerYAnchor() { return {{this, nullptr}, NSLayoutAttributeCenterY}; }
  UILayoutGuide& safeAreaLayoutGuide();
  UILayoutGuide& layoutMarginsGuide();

  // Gesture recognizers.
  void addGestureRecognizer(std::shared_ptr<UIGestureRecognizer> recognizer);
  void removeGestureRecognizer(const UIGestureRecognizer* recognizer);
  const std::vector<std::shared_ptr<UIGestureRecognizer>>& gestureRecognizers() const { return recognizers_; }

  // Built from an interface file: called once the file's views are in place.
  virtual void awakeFromNib() {}

  // The controller whose view this is, if any.
  UIViewController* owningViewController() const { return owningController_; }
  void setOwningViewController(UIViewController* controller) { owningController_ = controller; }
  UIResponder* nextResponder() const override;

  // Screen text: appends what a person sees of this view. Answers true when the lines
  // already cover the subviews.
  virtual bool appendScreenText(std::vector<std::string>& lines) const;
  // What a person can tap inside the view besides its subviews.
  virtual std::vector<UIViewTapTarget> tapTargets() { return {}; }

  // Animations apply their changes at once; their completion runs on the next turn of
  // the main loop. Every call is recorded. Where a person watches (the desktop window),
  // they play instead: the changed frames, alphas, transforms and background colours
  // are shown moving from the old values to the new over the duration on the main
  // loop's clock (the views hold the new values at once), and the completion runs at
  // the end.
  static void animateWithDuration(double duration, std::function<void()> animations,
                                  std::function<void(bool)> completion = {});
  static void animateWithDuration(double duration, double delay, unsigned long options,
                                  std::function<void()> animations, std::function<void(bool)> completion = {});
  static void animateWithDuration(double duration, double delay, double damping, double velocity,
                                  unsigned long options, std::function<void()> animations,
                                  std::function<void(bool)> completion = {});
  static void transitionWithView(UIView* view, double duration, unsigned long options,
                                 std::function<void()> animations, std::function<void(bool)> completion = {});
  // Removes `from` from its superview and puts `to` in its place.
  static void transitionFromView(UIView* from, std::shared_ptr<UIView> to, double duration,
                                 unsigned long options, std::function<void(bool)> completion = {});
  static void performWithoutAnimation(const std::function<void()>& actions);
  static bool areAnimationsEnabled();
  static void recordAnimation(UIAnimationRecord record);
  static const std::vector<UIAnimationRecord>& recordedAnimations();
  static void clearRecordedAnimations();
  // Runs the completion with `finished` YES on the next turn of the main loop.
  static void completeOnNextTurn(std::function<void(bool)> completion);
  // Whether animations play over their durations (the window's choice; tests and the
  // terminal leave it off, and animations end at once).
  static void setAnimationsPlayOverTime(bool play);
  static bool animationsPlayOverTime();
  // Whether a played animation is still moving: the window draws every frame until none is.
  static bool isAnimationPlaying();
  // Runs `draw` with each moving view showing its values of this moment, then puts the
  // views' own values back.
  static void drawWithPresentationValues(const std::function<void()>& draw);
  // Shows `view` moving from `from` to its frame (a presented screen rising) over
  // `duration`, when animations play.
  static void playFrameChange(UIView& view, CGRect from, double duration, unsigned long options = 0);

 private:
  friend struct UIViewAnimatable;
  UIEdgeInsets safeArea(bool bars) const;
  void detachFromSuperview();
  void dropConstraintsInvolving(const UIView* subtree);

  CGRect frame_;
  CGPoint boundsOrigin_;
  CGAffineTransform transform_;
  double alpha_ = 1;
  bool hidden_ = false;
  std::optional<UIColor> backgroundColor_;
  std::optional<UIColor> tintColor_;
  bool userInteractionEnabled_ = true;
  UIViewContentMode contentMode_ = UIViewContentModeScaleToFill;
  long tag_ = 0;
  CALayer layer_;
  std::string accessibilityIdentifier_;
  std::string accessibilityLabel_;
  std::string accessibilityValue_;
  UIUserInterfaceStyle overrideStyle_ = UIUserInterfaceStyleUnspecified;
  UIView* superview_ = nullptr;
  std::vector<std::shared_ptr<UIView>> subviews_;
  bool needsLayout_ = false;
  std::optional<UIEdgeInsets> safeAreaOverride_;
  UIEdgeInsets layoutMargins_{8, 8, 8, 8};
  bool translatesMask_ = true;
  std::vector<std::shared_ptr<NSLayoutConstraint>> constraints_;
  std::unique_ptr<UILayoutGuide> safeAreaGuide_;
  std::unique_ptr<UILayoutGuide> marginsGuide_;
  std::vector<std::shared_ptr<UIGestureRecognizer>> recognizers_;
  UIViewController* owningController_ = nullptr;
};
