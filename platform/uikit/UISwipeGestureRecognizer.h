#pragma once
#include "uikit/UIGestureRecognizer.h"

enum UISwipeGestureRecognizerDirection : unsigned long {
  UISwipeGestureRecognizerDirectionRight = 1 << 0,
  UISwipeGestureRecognizerDirectionLeft = 1 << 1,
  UISwipeGestureRecognizerDirectionUp = 1 << 2,
  UISwipeGestureRecognizerDirectionDown = 1 << 3,
};

// Recognized by a swipe in its direction (the driver's "swipe" on a view).
class UISwipeGestureRecognizer : public UIGestureRecognizer {
 public:
  using UIGestureRecognizer::UIGestureRecognizer;
  unsigned long direction() const { return direction_; }
  void setDirection(unsigned long direction) { direction_ = direction; }
  // A swipe in `direction` over the view: recognized when the directions match.
  bool swipe(unsigned long direction);

 private:
  unsigned long direction_ = UISwipeGestureRecognizerDirectionRight;
};
