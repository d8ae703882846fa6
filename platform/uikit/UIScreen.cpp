#include "uikit/UIScreen.h"

UIScreen& UIScreen::mainScreen() {
  static UIScreen screen;
  return screen;
}

void UIScreen::reset() {
  bounds_ = CGRect::make(0, 0, 375, 812);
  scale_ = 3;
  safeArea_ = UIEdgeInsets{44, 0, 34, 0};
  systemStyle_ = UIUserInterfaceStyleLight;
}
