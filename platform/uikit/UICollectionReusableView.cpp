#include "uikit/UICollectionReusableView.h"

void UICollectionReusableView::collectText(const UIView* view, std::string& out) {
  for (const auto& sub : view->subviews()) {
    if (sub->isHidden() || sub->alpha() <= 0.01) continue;
    std::vector<std::string> lines;
    bool covers = sub->appendScreenText(lines);
    for (auto& l : lines) out += (out.empty() ? "" : " · ") + l;
    if (!covers) collectText(sub.get(), out);
  }
}

std::string UICollectionReusableView::screenItemText() const {
  std::string out;
  collectText(this, out);
  return out;
}

bool UICollectionReusableView::appendScreenText(std::vector<std::string>& lines) const {
  lines.push_back(screenItemText());
  return true;
}
