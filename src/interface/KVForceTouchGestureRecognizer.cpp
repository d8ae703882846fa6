#include "interface/KVForceTouchGestureRecognizer.h"

#include <algorithm>

#include "uikit/UIImpactFeedbackGenerator.h"

KVForceTouchGestureRecognizer::KVForceTouchGestureRecognizer() { setDefaults(); }

KVForceTouchGestureRecognizer::KVForceTouchGestureRecognizer(Action action, const void* target)
    : UIGestureRecognizer(std::move(action), target) {
  setDefaults();
}

void KVForceTouchGestureRecognizer::setDefaults() {
  setCancelsTouchesInView(false);
  triggerForce_ = 0.5;
  triggerOncePerTouch_ = true;
}

void KVForceTouchGestureRecognizer::handleTouches(const UITouchSet& touches) {
  if (touches.empty()) return;
  const UITouch& touch = touches.front();
  double full = std::min(touch.maximumPossibleForce, kMaximumForce);
  force_ = full > 0 ? touch.force / full : 0;  // a touch without force sensing reads none
  if (recognized_ || force_ < triggerForce_) return;
  recognized_ = true;
  UIImpactFeedbackGenerator(UIImpactFeedbackStyleLight).impactOccurred();
  setState(UIGestureRecognizerStateRecognized);
}

void KVForceTouchGestureRecognizer::touchesBegan(const UITouchSet& touches) {
  UIGestureRecognizer::touchesBegan(touches);
  handleTouches(touches);
}

void KVForceTouchGestureRecognizer::touchesMoved(const UITouchSet& touches) {
  UIGestureRecognizer::touchesMoved(touches);
  handleTouches(touches);
}

void KVForceTouchGestureRecognizer::touchesEnded(const UITouchSet& touches) {
  UIGestureRecognizer::touchesEnded(touches);
  handleTouches(touches);
}

void KVForceTouchGestureRecognizer::touchesCancelled(const UITouchSet& touches) {
  UIGestureRecognizer::touchesCancelled(touches);
  handleTouches(touches);
}

void KVForceTouchGestureRecognizer::reset() {
  UIGestureRecognizer::reset();
  force_ = 0;
  recognized_ = false;
}
