#include "uikit/UIGestureRecognizer.h"

#include <algorithm>

#include "uikit/UIView.h"

UIGestureRecognizer::UIGestureRecognizer(Action action, const void* target) {
  if (action) addTarget(target, std::move(action));
}

void UIGestureRecognizer::addTarget(const void* target, Action action) {
  targets_.push_back({target, std::move(action)});
}

bool UIGestureRecognizer::hasTarget(const void* target) const {
  return std::any_of(targets_.begin(), targets_.end(), [&](const Target& t) { return t.owner == target; });
}

void UIGestureRecognizer::removeTarget(const void* target) {
  targets_.erase(std::remove_if(targets_.begin(), targets_.end(), [&](const Target& t) { return t.owner == target; }),
                 targets_.end());
}

void UIGestureRecognizer::setState(UIGestureRecognizerState state) {
  state_ = state;
  if (state == UIGestureRecognizerStateBegan || state == UIGestureRecognizerStateChanged ||
      state == UIGestureRecognizerStateEnded || state == UIGestureRecognizerStateCancelled) {
    auto targets = targets_;  // an action may add or remove targets
    for (auto& t : targets) t.action(*this);
  }
}

CGPoint UIGestureRecognizer::locationInView(const UIView* view) const {
  CGPoint p = lastTouch_.location;
  // Touch locations are kept in the touched view's coordinates; move them up or down the tree.
  for (const UIView* v = lastTouch_.view; v && v != view; v = v->superview()) {
    p.x += v->frame().origin.x - v->bounds().origin.x;
    p.y += v->frame().origin.y - v->bounds().origin.y;
  }
  return p;
}

bool UIGestureRecognizer::shouldBegin() { return enabled_ && (!delegate_ || delegate_->gestureRecognizerShouldBegin(*this)); }

void UIGestureRecognizer::touchesBegan(const UITouchSet& touches) {
  if (!touches.empty()) lastTouch_ = touches.front();
}
void UIGestureRecognizer::touchesMoved(const UITouchSet& touches) {
  if (!touches.empty()) lastTouch_ = touches.front();
}
void UIGestureRecognizer::touchesEnded(const UITouchSet& touches) {
  if (!touches.empty()) lastTouch_ = touches.front();
}
void UIGestureRecognizer::touchesCancelled(const UITouchSet&) {
  if (hasClaimedTouch()) setState(UIGestureRecognizerStateCancelled);
  reset();
}
void UIGestureRecognizer::reset() { state_ = UIGestureRecognizerStatePossible; }
