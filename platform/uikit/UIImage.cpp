#include "uikit/UIImage.h"

#include <map>
#include <mutex>

#include "foundation/Bundle.h"
#include "foundation/Files.h"

namespace {
std::mutex& namedMutex() {
  static std::mutex m;
  return m;
}
std::map<std::string, std::shared_ptr<UIImage>>& named() {
  static std::map<std::string, std::shared_ptr<UIImage>> images;
  return images;
}
uint32_t be32(const std::vector<uint8_t>& d, size_t i) {
  return (uint32_t(d[i]) << 24) | (uint32_t(d[i + 1]) << 16) | (uint32_t(d[i + 2]) << 8) | d[i + 3];
}
uint16_t be16(const std::vector<uint8_t>& d, size_t i) { return uint16_t((d[i] << 8) | d[i + 1]); }
}  // namespace

std::optional<CGSize> UIImage::pixelSizeOfImageData(const std::vector<uint8_t>& d) {
  static const uint8_t png[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (d.size() >= 24 && std::equal(png, png + 8, d.begin()) && d[12] == 'I' && d[13] == 'H' &&
      d[14] == 'D' && d[15] == 'R') {
    return CGSize{double(be32(d, 16)), double(be32(d, 20))};
  }
  if (d.size() >= 10 && d[0] == 'G' && d[1] == 'I' && d[2] == 'F') {
    return CGSize{double(d[6] | (d[7] << 8)), double(d[8] | (d[9] << 8))};
  }
  if (d.size() >= 4 && d[0] == 0xFF && d[1] == 0xD8) {
    size_t i = 2;
    while (i + 4 <= d.size()) {
      if (d[i] != 0xFF) return std::nullopt;
      uint8_t marker = d[i + 1];
      if (marker == 0xFF) {  // fill byte
        ++i;
        continue;
      }
      if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
        i += 2;
        continue;
      }
      uint16_t length = be16(d, i + 2);
      if (length < 2) return std::nullopt;
      bool sof = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
      if (sof) {
        if (i + 9 > d.size()) return std::nullopt;
        return CGSize{double(be16(d, i + 7)), double(be16(d, i + 5))};
      }
      if (marker == 0xD9 || marker == 0xDA) return std::nullopt;
      i += 2 + length;
    }
  }
  return std::nullopt;
}

std::shared_ptr<UIImage> UIImage::imageWithData(const std::vector<uint8_t>& data, double scale) {
  auto pixels = pixelSizeOfImageData(data);
  if (!pixels || scale <= 0) return nullptr;
  auto image = std::make_shared<UIImage>(CGSize{pixels->width / scale, pixels->height / scale}, scale);
  image->data_ = data;
  return image;
}

std::shared_ptr<UIImage> UIImage::imageWithContentsOfFile(const std::string& path) {
  auto bytes = Files::read(path);
  if (!bytes) return nullptr;
  double scale = 1;
  if (path.find("@3x.") != std::string::npos) scale = 3;
  else if (path.find("@2x.") != std::string::npos) scale = 2;
  return imageWithData(*bytes, scale);
}

std::shared_ptr<UIImage> UIImage::imageNamed(const std::string& name) {
  if (name.empty()) return nullptr;
  {
    std::lock_guard<std::mutex> lock(namedMutex());
    auto it = named().find(name);
    if (it != named().end()) return it->second;
  }
  std::string base = name, type = "png";
  auto dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) {
    base = name.substr(0, dot);
    type = name.substr(dot + 1);
  }
  for (const char* suffix : {"@3x", "@2x", ""}) {
    for (const char* folder : {"", "images"}) {
      auto path = Bundle::main().pathForResource(base + suffix, type, folder);
      if (!path) continue;
      auto image = imageWithContentsOfFile(*path);
      if (!image) continue;
      image->name_ = name;
      std::lock_guard<std::mutex> lock(namedMutex());
      named()[name] = image;
      return image;
    }
  }
  return nullptr;
}

std::shared_ptr<UIImage> UIImage::systemImageNamed(const std::string& name) {
  auto image = std::make_shared<UIImage>(CGSize{20, 20}, 1);
  image->name_ = name;
  image->symbol_ = true;
  image->renderingMode_ = UIImageRenderingModeAlwaysTemplate;
  return image;
}

std::shared_ptr<UIImage> UIImage::filledImage(const UIColor& color, CGSize size, double scale) {
  auto image = std::make_shared<UIImage>(size, scale > 0 ? scale : 1);
  image->fill_ = color;
  return image;
}

void UIImage::registerNamedImage(const std::string& name, std::shared_ptr<UIImage> image) {
  if (image && image->name_.empty()) image->name_ = name;
  std::lock_guard<std::mutex> lock(namedMutex());
  named()[name] = std::move(image);
}

void UIImage::clearNamedImages() {
  std::lock_guard<std::mutex> lock(namedMutex());
  named().clear();
}

std::shared_ptr<UIImage> UIImage::imageWithRenderingMode(UIImageRenderingMode mode) const {
  auto copy = std::make_shared<UIImage>(*this);
  copy->renderingMode_ = mode;
  return copy;
}

std::string UIImage::description() const {
  if (!name_.empty()) return name_;
  if (fill_) return "image of " + fill_->description();
  return "image " + std::to_string(int(size_.width)) + "x" + std::to_string(int(size_.height));
}
