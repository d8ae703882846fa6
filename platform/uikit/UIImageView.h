#pragma once
#include <memory>

#include "uikit/UIImage.h"
#include "uikit/UIView.h"

class UIImageView : public UIView {
 public:
  UIImageView() { setUserInteractionEnabled(false); }
  explicit UIImageView(std::shared_ptr<UIImage> image);
  const std::shared_ptr<UIImage>& image() const { return image_; }
  void setImage(std::shared_ptr<UIImage> image) { UI_MAIN_THREAD_ONLY(); image_ = std::move(image); }
  const std::shared_ptr<UIImage>& highlightedImage() const { return highlightedImage_; }
  void setHighlightedImage(std::shared_ptr<UIImage> image) { UI_MAIN_THREAD_ONLY(); highlightedImage_ = std::move(image); }
  bool isHighlighted() const { return highlighted_; }
  void setHighlighted(bool value) { highlighted_ = value; }
  CGSize intrinsicContentSize() const override;
  // Shown only when it carries an accessibility label: images have no text.
  bool appendScreenText(std::vector<std::string>& lines) const override;

 private:
  std::shared_ptr<UIImage> image_;
  std::shared_ptr<UIImage> highlightedImage_;
  bool highlighted_ = false;
};
