#include "uikit/UISwipeGestureRecognizer.h"

bool UISwipeGestureRecognizer::swipe(unsigned long direction) {
  if (!(direction_ & direction) || !shouldBegin()) return false;
  setState(UIGestureRecognizerStateRecognized);
  reset();
  return true;
}
