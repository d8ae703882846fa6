#pragma once
// A press recognised by its force: the first time in a touch that the normalised force
// reaches `triggerForce`, it plays a light tap and is recognised.
#include "uikit/UIGestureRecognizer.h"

class KVForceTouchGestureRecognizer : public UIGestureRecognizer {
 public:
  // The force a touch reads as full (the most the hardware can report, at most this).
  static constexpr double kMaximumForce = 4.0;

  KVForceTouchGestureRecognizer();
  KVForceTouchGestureRecognizer(Action action, const void* target);

  void touchesBegan(const UITouchSet& touches) override;
  void touchesMoved(const UITouchSet& touches) override;
  void touchesEnded(const UITouchSet& touches) override;
  void touchesCancelled(const UITouchSet& touches) override;
  void reset() override;
  // It never keeps another recognizer from recognising.
  bool canPreventGestureRecognizer(const UIGestureRecognizer&) const { return false; }

  bool recognized() const { return recognized_; }
  double force() const { return force_; }
  double triggerForce() const { return triggerForce_; }
  void setTriggerForce(double force) { triggerForce_ = force; }
  bool triggerOncePerTouch() const { return triggerOncePerTouch_; }
  void setTriggerOncePerTouch(bool value) { triggerOncePerTouch_ = value; }
  double minimumPressDuration() const { return minimumPressDuration_; }
  void setMinimumPressDuration(double seconds) { minimumPressDuration_ = seconds; }

 private:
  void setDefaults();
  void handleTouches(const UITouchSet& touches);

  bool recognized_ = false;
  bool triggerOncePerTouch_ = true;
  double force_ = 0;
  double triggerForce_ = 0.5;
  double minimumPressDuration_ = 0;
};
