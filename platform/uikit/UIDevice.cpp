#include "uikit/UIDevice.h"

#include <cstdlib>

#include "uikit/UIScreen.h"

UIDevice::UIDevice() { reset(); }

UIDevice& UIDevice::currentDevice() {
  static UIDevice device;
  return device;
}

void UIDevice::reset() {
  systemVersion_ = "14.4";
  model_ = "iPhone";
  name_ = "iPhone";
  idiom_ = UIUserInterfaceIdiomPhone;
}

void UIDevice::setUserInterfaceIdiom(UIUserInterfaceIdiom idiom) {
  idiom_ = idiom;
  model_ = idiom == UIUserInterfaceIdiomPad ? "iPad" : "iPhone";
  UIScreen::mainScreen().setBounds(idiom == UIUserInterfaceIdiomPad ? CGRect::make(0, 0, 768, 1024)
                                                                     : CGRect::make(0, 0, 375, 812));
}

int UIDevice::compareVersions(const std::string& a, const std::string& b) {
  size_t i = 0, j = 0;
  while (i < a.size() || j < b.size()) {
    long x = 0, y = 0;
    while (i < a.size() && a[i] != '.') {
      if (a[i] >= '0' && a[i] <= '9') x = x * 10 + (a[i] - '0');
      ++i;
    }
    while (j < b.size() && b[j] != '.') {
      if (b[j] >= '0' && b[j] <= '9') y = y * 10 + (b[j] - '0');
      ++j;
    }
    if (x != y) return x < y ? -1 : 1;
    if (i < a.size()) ++i;
    if (j < b.size()) ++j;
  }
  return 0;
}
