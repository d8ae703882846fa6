#include "uikit/UIKeyboard.h"

#include "foundation/NotificationCenter.h"
#include "uikit/UIDevice.h"
#include "uikit/UIScreen.h"

namespace {
bool gVisible = false;

Value userInfo() {
  CGRect screen = UIScreen::mainScreen().bounds();
  double h = UIKeyboard::height();
  return Value::dict({{"UIKeyboardFrameEndUserInfoKey",
                       Value::dict({{"x", 0.0}, {"y", screen.height() - h}, {"width", screen.width()}, {"height", h}})},
                      {"UIKeyboardAnimationDurationUserInfoKey", 0.25},
                      {"UIKeyboardAnimationCurveUserInfoKey", 7}});
}
}  // namespace

double UIKeyboard::height() {
  return UIDevice::currentDevice().userInterfaceIdiom() == UIUserInterfaceIdiomPad ? 398 : 291;
}

bool UIKeyboard::isVisible() { return gVisible; }

void UIKeyboard::show() {
  if (gVisible) return;
  gVisible = true;
  NotificationCenter::defaultCenter().post(UIKeyboardWillShowNotification, {}, userInfo());
  NotificationCenter::defaultCenter().post(UIKeyboardDidShowNotification, {}, userInfo());
}

void UIKeyboard::hide() {
  if (!gVisible) return;
  gVisible = false;
  NotificationCenter::defaultCenter().post(UIKeyboardWillHideNotification, {}, userInfo());
  NotificationCenter::defaultCenter().post(UIKeyboardDidHideNotification, {}, userInfo());
}
