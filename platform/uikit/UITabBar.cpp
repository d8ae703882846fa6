#include "uikit/UITabBar.h"

#include "uikit/UIScreen.h"

UITabBar::UITabBar() {
  CGRect screen = UIScreen::mainScreen().bounds();
  double bottom = UIScreen::mainScreen().safeAreaInsets().bottom;
  setFrame(CGRect::make(0, screen.height() - 49 - bottom, screen.width(), 49 + bottom));
}
