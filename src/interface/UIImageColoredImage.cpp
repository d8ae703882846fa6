#include "interface/UIImageColoredImage.h"

#include "uikit/UIScreen.h"

namespace UIImageColoredImage {
std::shared_ptr<UIImage> imageWithColor(const UIColor& color) { return imageWithColor(color, {1, 1}); }

std::shared_ptr<UIImage> imageWithColor(const UIColor& color, CGSize size) {
  return UIImage::filledImage(color, size, UIScreen::mainScreen().scale());
}
}  // namespace UIImageColoredImage
