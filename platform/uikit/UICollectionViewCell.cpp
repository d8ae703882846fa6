#include "uikit/UICollectionViewCell.h"

UICollectionViewCell::UICollectionViewCell(CGRect frame) : UIView(frame) {
  contentView_ = std::make_shared<UIView>(CGRect{{0, 0}, frame.size});
  addSubview(contentView_);
}

namespace {
void collect(const UIView* view, std::string& out) {
  for (const auto& sub : view->subviews()) {
    if (sub->isHidden() || sub->alpha() <= 0.01) continue;
    std::vector<std::string> lines;
    bool covers = sub->appendScreenText(lines);
    for (auto& l : lines) out += (out.empty() ? "" : " · ") + l;
    if (!covers) collect(sub.get(), out);
  }
}
}  // namespace

std::string UICollectionViewCell::screenItemText() const {
  std::string out;
  collect(contentView_.get(), out);
  return out;
}

bool UICollectionViewCell::appendScreenText(std::vector<std::string>& lines) const {
  lines.push_back(screenItemText());
  return true;
}
