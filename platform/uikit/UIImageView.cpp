#include "uikit/UIImageView.h"

UIImageView::UIImageView(std::shared_ptr<UIImage> image) : image_(std::move(image)) {
  setUserInteractionEnabled(false);
  if (image_) setFrame(CGRect{{0, 0}, image_->size()});
}

CGSize UIImageView::intrinsicContentSize() const { return image_ ? image_->size() : CGSize{-1, -1}; }

bool UIImageView::appendScreenText(std::vector<std::string>& lines) const {
  if (!accessibilityLabel().empty()) lines.push_back("(image: " + accessibilityLabel() + ")");
  return false;
}
