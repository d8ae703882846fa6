#pragma once
#include "foundation/RunLoop.h"
#include "uikit/UIGestureRecognizer.h"

// Begins when a touch has stayed down for the minimum duration, on the main loop's
// clock; ends when it lifts.
class UILongPressGestureRecognizer : public UIGestureRecognizer {
 public:
  using UIGestureRecognizer::UIGestureRecognizer;
  ~UILongPressGestureRecognizer() override;
  double minimumPressDuration() const { return minimumPressDuration_; }
  void setMinimumPressDuration(double seconds) { minimumPressDuration_ = seconds; }
  long numberOfTapsRequired() const { return tapsRequired_; }
  void setNumberOfTapsRequired(long n) { tapsRequired_ = n; }

  void touchesBegan(const UITouchSet& touches) override;
  void touchesEnded(const UITouchSet& touches) override;
  void touchesCancelled(const UITouchSet& touches) override;
  void reset() override;

 private:
  double minimumPressDuration_ = 0.5;
  long tapsRequired_ = 0;
  RunLoop::TimerId timer_ = 0;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
