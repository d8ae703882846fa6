#include "uikit/UILongPressGestureRecognizer.h"

UILongPressGestureRecognizer::~UILongPressGestureRecognizer() {
  *alive_ = false;
  if (timer_) RunLoop::main().cancelTimer(timer_);
}

void UILongPressGestureRecognizer::touchesBegan(const UITouchSet& touches) {
  UIGestureRecognizer::touchesBegan(touches);
  if (timer_) RunLoop::main().cancelTimer(timer_);
  std::weak_ptr<bool> alive = alive_;
  timer_ = RunLoop::main().addTimer(minimumPressDuration_, [this, alive] {
    if (alive.expired()) return;
    timer_ = 0;
    if (state() == UIGestureRecognizerStatePossible && shouldBegin()) setState(UIGestureRecognizerStateBegan);
  });
}

void UILongPressGestureRecognizer::touchesEnded(const UITouchSet& touches) {
  UIGestureRecognizer::touchesEnded(touches);
  if (hasClaimedTouch()) setState(UIGestureRecognizerStateEnded);
  reset();
}

void UILongPressGestureRecognizer::touchesCancelled(const UITouchSet& touches) {
  UIGestureRecognizer::touchesCancelled(touches);
}

void UILongPressGestureRecognizer::reset() {
  if (timer_) RunLoop::main().cancelTimer(timer_);
  timer_ = 0;
  UIGestureRecognizer::reset();
}
