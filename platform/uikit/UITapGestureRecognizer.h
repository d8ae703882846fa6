#pragma once
#include "uikit/UIGestureRecognizer.h"

// Recognizes when the touch lifts without having moved away.
class UITapGestureRecognizer : public UIGestureRecognizer {
 public:
  using UIGestureRecognizer::UIGestureRecognizer;
  long numberOfTapsRequired() const { return tapsRequired_; }
  void setNumberOfTapsRequired(long n) { tapsRequired_ = n; }
  void touchesEnded(const UITouchSet& touches) override;

 private:
  long tapsRequired_ = 1;
};
