#include "uikit/UIImage.h"

#include <algorithm>
#include <cmath>
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
}  // namespace

std::optional<CGSize> UIImage::pixelSizeOfGIFData(const std::vector<uint8_t>& d) {
  if (d.size() >= 10 && d[0] == 'G' && d[1] == 'I' && d[2] == 'F')
    return CGSize{double(d[6] | (d[7] << 8)), double(d[8] | (d[9] << 8))};
  return std::nullopt;
}

std::shared_ptr<UIImage> UIImage::imageWithPixels(ImagePixels pixels, double scale) {
  if (scale <= 0 || pixels.width <= 0 || pixels.height <= 0) return nullptr;
  auto image = std::make_shared<UIImage>(CGSize{pixels.width / scale, pixels.height / scale}, scale);
  image->pixels_ = std::make_shared<const ImagePixels>(std::move(pixels));
  return image;
}

std::shared_ptr<UIImage> UIImage::imageWithData(const std::vector<uint8_t>& data, double scale) {
  if (scale <= 0) return nullptr;
  std::shared_ptr<UIImage> image;
  if (auto pixels = ImageCodec::decode(data)) {
    image = imageWithPixels(std::move(*pixels), scale);
  } else if (auto gif = pixelSizeOfGIFData(data)) {
    image = std::make_shared<UIImage>(CGSize{gif->width / scale, gif->height / scale}, scale);
  }
  if (image) image->data_ = data;
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

std::shared_ptr<const ImagePixels> UIImage::bitmap() const {
  if (pixels_) return pixels_;
  if (!fill_) return nullptr;
  ImagePixels p;
  p.width = int(std::lround(size_.width * scale_));
  p.height = int(std::lround(size_.height * scale_));
  if (p.width <= 0 || p.height <= 0 || size_t(p.width) * size_t(p.height) > ImageCodec::kMaxPixels) return nullptr;
  auto clamp8 = [](double v) { return uint8_t(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
  uint8_t px[4] = {clamp8(fill_->red()), clamp8(fill_->green()), clamp8(fill_->blue()), clamp8(fill_->alpha())};
  p.rgba.resize(size_t(p.width) * size_t(p.height) * 4);
  for (size_t i = 0; i < p.rgba.size(); i += 4) std::copy(px, px + 4, p.rgba.begin() + long(i));
  return std::make_shared<const ImagePixels>(std::move(p));
}

namespace {
// The fraction of the pixel (x, y) that lies inside a w x h rectangle with corners of
// radius r, sampled on a 4 x 4 grid; 1 away from the corners.
double coverage(int x, int y, int w, int h, double r) {
  if (r <= 0) return 1;
  double cx = x < r ? r : (x + 1 > w - r ? w - r : -1);
  double cy = y < r ? r : (y + 1 > h - r ? h - r : -1);
  if (cx < 0 || cy < 0) return 1;
  int inside = 0;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      double dx = x + (i + 0.5) / 4 - cx, dy = y + (j + 0.5) / 4 - cy;
      bool beyond = (x < r ? dx < 0 : dx > 0) && (y < r ? dy < 0 : dy > 0);
      inside += !beyond || dx * dx + dy * dy <= r * r;
    }
  return inside / 16.0;
}
}  // namespace

std::shared_ptr<UIImage> UIImage::imageWithRoundedCorners(double cornerRadius) const {
  auto source = bitmap();
  if (!source) return nullptr;
  ImagePixels out;
  out.width = std::max(1, int(std::lround(size_.width)));
  out.height = std::max(1, int(std::lround(size_.height)));
  out.rgba.resize(size_t(out.width) * size_t(out.height) * 4);
  double r = std::clamp(cornerRadius, 0.0, std::min(out.width, out.height) / 2.0);
  double fx = double(source->width) / out.width, fy = double(source->height) / out.height;
  for (int y = 0; y < out.height; ++y) {
    int y0 = int(y * fy), y1 = std::max(y0 + 1, int(std::ceil((y + 1) * fy)));
    for (int x = 0; x < out.width; ++x) {
      int x0 = int(x * fx), x1 = std::max(x0 + 1, int(std::ceil((x + 1) * fx)));
      // The source pixels under this one, averaged with their alpha as weight.
      double sum[4] = {0, 0, 0, 0};
      int count = 0;
      for (int sy = y0; sy < std::min(y1, source->height); ++sy)
        for (int sx = x0; sx < std::min(x1, source->width); ++sx, ++count) {
          const uint8_t* p = source->at(sx, sy);
          for (int c = 0; c < 3; ++c) sum[c] += p[c] * p[3];
          sum[3] += p[3];
        }
      uint8_t* o = &out.rgba[(size_t(y) * size_t(out.width) + size_t(x)) * 4];
      if (count == 0 || sum[3] == 0) continue;
      for (int c = 0; c < 3; ++c) o[c] = uint8_t(std::lround(sum[c] / sum[3]));
      o[3] = uint8_t(std::lround(sum[3] / count * coverage(x, y, out.width, out.height, r)));
    }
  }
  return imageWithPixels(std::move(out), 1);
}

std::optional<std::vector<uint8_t>> UIImagePNGRepresentation(const UIImage& image) {
  auto pixels = image.bitmap();
  if (!pixels) return std::nullopt;
  return ImageCodec::encodePNG(*pixels);
}
