#pragma once
// An image: its size in points, its scale and, where it came from bytes, the bytes
// themselves. Nothing is decoded beyond the header that tells the pixel size.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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
  // PNG, JPEG or GIF bytes; null when the bytes are none of these.
  static std::shared_ptr<UIImage> imageWithData(const std::vector<uint8_t>& data, double scale = 1);
  static std::shared_ptr<UIImage> imageWithContentsOfFile(const std::string& path);
  // One colour over the whole size: what an image context filled with the colour gives.
  static std::shared_ptr<UIImage> filledImage(const UIColor& color, CGSize size, double scale);
  // Tests and start-up code may register images under a name.
  static void registerNamedImage(const std::string& name, std::shared_ptr<UIImage> image);
  static void clearNamedImages();

  // Reads the pixel size from PNG, JPEG or GIF bytes.
  static std::optional<CGSize> pixelSizeOfImageData(const std::vector<uint8_t>& data);

  CGSize size() const { return size_; }
  double scale() const { return scale_; }
  const std::string& name() const { return name_; }
  UIImageRenderingMode renderingMode() const { return renderingMode_; }
  std::shared_ptr<UIImage> imageWithRenderingMode(UIImageRenderingMode mode) const;
  // The colour of a one-colour image.
  const std::optional<UIColor>& fillColor() const { return fill_; }
  const std::vector<uint8_t>& data() const { return data_; }
  bool isSymbol() const { return symbol_; }
  std::string description() const;

 private:
  CGSize size_;
  double scale_ = 1;
  std::string name_;
  UIImageRenderingMode renderingMode_ = UIImageRenderingModeAutomatic;
  std::optional<UIColor> fill_;
  std::vector<uint8_t> data_;
  bool symbol_ = false;
};
