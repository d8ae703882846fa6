#include "uikit/UINavigationBar.h"

#include "uikit/UIScreen.h"

UINavigationBar::UINavigationBar() {
  setFrame(CGRect::make(0, UIScreen::mainScreen().safeAreaInsets().top, UIScreen::mainScreen().bounds().width(), 44));
}

void UINavigationBar::setBackgroundImage(std::shared_ptr<UIImage> image, UIBarMetrics metrics) {
  if (image) backgroundImages_[metrics] = std::move(image);
  else backgroundImages_.erase(metrics);
}

std::shared_ptr<UIImage> UINavigationBar::backgroundImageForBarMetrics(UIBarMetrics metrics) const {
  auto it = backgroundImages_.find(metrics);
  return it == backgroundImages_.end() ? nullptr : it->second;
}
