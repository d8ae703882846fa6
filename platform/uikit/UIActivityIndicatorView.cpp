#include "uikit/UIActivityIndicatorView.h"

void UIActivityIndicatorView::startAnimating() {
  UI_MAIN_THREAD_ONLY();
  animating_ = true;
  setHidden(false);
}

void UIActivityIndicatorView::stopAnimating() {
  UI_MAIN_THREAD_ONLY();
  animating_ = false;
  if (hidesWhenStopped_) setHidden(true);
}

void UIActivityIndicatorView::setHidesWhenStopped(bool value) {
  hidesWhenStopped_ = value;
  if (value && !animating_) setHidden(true);
}

bool UIActivityIndicatorView::appendScreenText(std::vector<std::string>& lines) const {
  if (animating_) lines.push_back("(busy)");
  return true;
}
