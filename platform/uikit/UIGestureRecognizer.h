#pragma once
// Gesture recognizers: they watch the touches of their view and send their actions as
// their state changes. Time (the long press) is read from the main loop's clock.
#include <functional>
#include <memory>
#include <vector>

#include "uikit/UIResponder.h"

enum UIGestureRecognizerState : long {
  UIGestureRecognizerStatePossible = 0,
  UIGestureRecognizerStateBegan = 1,
  UIGestureRecognizerStateChanged = 2,
  UIGestureRecognizerStateEnded = 3,
  UIGestureRecognizerStateCancelled = 4,
  UIGestureRecognizerStateFailed = 5,
  UIGestureRecognizerStateRecognized = UIGestureRecognizerStateEnded,
};

class UIGestureRecognizer;

class UIGestureRecognizerDelegate {
 public:
  virtual ~UIGestureRecognizerDelegate() = default;
  virtual bool gestureRecognizerShouldBegin(UIGestureRecognizer&) { return true; }
};

class UIGestureRecognizer : public SelectorTarget {
 public:
  using Action = std::function<void(UIGestureRecognizer&)>;
  UIGestureRecognizer() = default;
  explicit UIGestureRecognizer(Action action, const void* target = nullptr);
  ~UIGestureRecognizer() override = default;

  void addTarget(const void* target, Action action);
  void removeTarget(const void* target);
  size_t targetCount() const { return targets_.size(); }
  bool hasTarget(const void* target) const;

  UIView* view() const { return view_; }
  void setView(UIView* view) { view_ = view; }  // by UIView::addGestureRecognizer
  UIGestureRecognizerState state() const { return state_; }
  // Began, Changed and Ended (recognized) send the actions.
  void setState(UIGestureRecognizerState state);
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled) { enabled_ = enabled; }
  bool cancelsTouchesInView() const { return cancelsTouchesInView_; }
  void setCancelsTouchesInView(bool value) { cancelsTouchesInView_ = value; }
  long numberOfTouchesRequired() const { return touchesRequired_; }
  void setNumberOfTouchesRequired(long n) { touchesRequired_ = n; }
  UIGestureRecognizerDelegate* delegate() const { return delegate_; }
  void setDelegate(UIGestureRecognizerDelegate* delegate) { delegate_ = delegate; }
  CGPoint locationInView(const UIView* view) const;
  // Whether it has taken the current touch from its view (a long press under way).
  bool hasClaimedTouch() const {
    return state_ == UIGestureRecognizerStateBegan || state_ == UIGestureRecognizerStateChanged;
  }

  virtual void touchesBegan(const UITouchSet& touches);
  virtual void touchesMoved(const UITouchSet& touches);
  virtual void touchesEnded(const UITouchSet& touches);
  virtual void touchesCancelled(const UITouchSet& touches);
  // Back to the possible state after a gesture ends or fails.
  virtual void reset();

 protected:
  bool shouldBegin();
  UITouch lastTouch_;

 private:
  struct Target {
    const void* owner;
    Action action;
  };
  std::vector<Target> targets_;
  UIView* view_ = nullptr;
  UIGestureRecognizerState state_ = UIGestureRecognizerStatePossible;
  bool enabled_ = true;
  bool cancelsTouchesInView_ = true;
  long touchesRequired_ = 1;
  UIGestureRecognizerDelegate* delegate_ = nullptr;
};
