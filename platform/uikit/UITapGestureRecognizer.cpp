#include "uikit/UITapGestureRecognizer.h"

void UITapGestureRecognizer::touchesEnded(const UITouchSet& touches) {
  UIGestureRecognizer::touchesEnded(touches);
  long taps = touches.empty() ? 1 : touches.front().tapCount;
  if (taps >= tapsRequired_ && shouldBegin()) setState(UIGestureRecognizerStateRecognized);
  reset();
}
