#include "uikit/UIProgressView.h"

#include <algorithm>
#include <cmath>

void UIProgressView::setProgress(float progress, bool animated) {
  UI_MAIN_THREAD_ONLY();
  if (animated) recordAnimation({"animation", 0.25, 0, 0, 0, 0, true});
  progress_ = std::isnan(progress) ? 0 : std::clamp(progress, 0.0f, 1.0f);
}

bool UIProgressView::appendScreenText(std::vector<std::string>& lines) const {
  lines.push_back("progress " + std::to_string(int(std::lround(progress_ * 100))) + "%");
  return true;
}
