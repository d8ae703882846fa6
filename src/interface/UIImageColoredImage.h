#pragma once
// One-colour images.
#include <memory>

#include "uikit/UIColor.h"
#include "uikit/UIGeometry.h"
#include "uikit/UIImage.h"

namespace UIImageColoredImage {
// 1 x 1 point at the screen's scale, filled with the colour.
std::shared_ptr<UIImage> imageWithColor(const UIColor& color);
std::shared_ptr<UIImage> imageWithColor(const UIColor& color, CGSize size);
}  // namespace UIImageColoredImage
