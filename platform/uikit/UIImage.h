#pragma once
// An image: its size in points, its scale and, where it came from PNG or JPEG bytes,
// its pixels. Images are values that any thread may make and read.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "uikit/ImageCodec.h"
#include "uikit/UIColor.h"
#include "uikit/UIGeometry.h"

enum UIImageRenderingMode : long {
  UIImageRenderingModeAutomatic = 0,
  UIImageRenderingModeAlwaysOriginal = 1,
  UIImageRenderingModeAlwaysTemplate = 2,
};

class UIImage {
 public:
  UIImage() = default;  // an empty image of size zero
  UIImage(CGSize size, double scale) : size_(size), scale_(scale) {}

  // An image resource of the application's bundle ("install" finds install.png,
  // install@2x.png or install@3x.png under the resources, also in "images/"), or one
  // registered with registerNamedImage. Null when there is none.
  static std::shared_ptr<UIImage> imageNamed(const std::string& name);
  // The system's symbol images (systemImageNamed:); always present, 20 x 20 points.
  static std::shared_ptr<UIImage> systemImageNamed(const std::string& name);
  // PNG or JPEG bytes decoded to pixels, or GIF bytes (their size only); null when the
  // bytes are none of these or do not decode whole.
  static std::shared_ptr<UIImage> imageWithData(const std::vector<uint8_t>& data, double scale = 1);
  // Pixels at a scale (points = pixels / scale).
  static std::shared_ptr<UIImage> imageWithPixels(ImagePixels pixels, double scale = 1);
  static std::shared_ptr<UIImage> imageWithContentsOfFile(const std::string& path);
  // One colour over the whole size: what an image context filled with the colour gives.
  static std::shared_ptr<UIImage> filledImage(const UIColor& color, CGSize size, double scale);
  // Tests and start-up code may register images under a name.
  static void registerNamedImage(const std::string& name, std::shared_ptr<UIImage> image);
  static void clearNamedImages();

  // Reads the pixel size from a GIF header.
  static std::optional<CGSize> pixelSizeOfGIFData(const std::vector<uint8_t>& data);

  CGSize size() const { return size_; }
  double scale() const { return scale_; }
  const std::string& name() const { return name_; }
  UIImageRenderingMode renderingMode() const { return renderingMode_; }
  std::shared_ptr<UIImage> imageWithRenderingMode(UIImageRenderingMode mode) const;
  // The colour of a one-colour image.
  const std::optional<UIColor>& fillColor() const { return fill_; }
  // The bytes the image was made from (empty for other images).
  const std::vector<uint8_t>& data() const { return data_; }
  bool isSymbol() const { return symbol_; }
  // The decoded pixels, or the pixels of a one-colour image at its size and scale;
  // null for images without pixels (GIF, symbols, empty images).
  std::shared_ptr<const ImagePixels> bitmap() const;
  // What a layer of the image's size in points, showing the image (scaled to fill)
  // with this corner radius and masksToBounds, renders into a bitmap at scale 1:
  // the corners outside the radius are transparent, their edge antialiased. Null
  // when the image has no pixels.
  std::shared_ptr<UIImage> imageWithRoundedCorners(double cornerRadius) const;
  std::string description() const;

 private:
  CGSize size_;
  double scale_ = 1;
  std::string name_;
  UIImageRenderingMode renderingMode_ = UIImageRenderingModeAutomatic;
  std::optional<UIColor> fill_;
  std::vector<uint8_t> data_;
  std::shared_ptr<const ImagePixels> pixels_;
  bool symbol_ = false;
};

// The image's pixels as PNG bytes; nothing when it has none.
std::optional<std::vector<uint8_t>> UIImagePNGRepresentation(const UIImage& image);
