#pragma once
// PNG and JPEG bytes to pixels and pixels to PNG, through libpng and libjpeg-turbo.
// Image bytes come from the network and are hostile: every failure is an answer of
// nothing (never a partial image), and pictures beyond kMaxSide on a side or
// kMaxPixels in all are refused before any pixel memory is taken.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// 8-bit red, green, blue and alpha per pixel, rows top to bottom, alpha not
// premultiplied (sRGB).
struct ImagePixels {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;

  const uint8_t* at(int x, int y) const { return rgba.data() + (size_t(y) * size_t(width) + size_t(x)) * 4; }
};

namespace ImageCodec {
inline constexpr int kMaxSide = 16384;
inline constexpr size_t kMaxPixels = size_t(40) * 1000 * 1000;

bool isPNG(const uint8_t* data, size_t size);
bool isJPEG(const uint8_t* data, size_t size);
// Nothing for bytes that are not a whole, valid picture of that kind (a cut-off
// JPEG included, which the library would otherwise fill with grey).
std::optional<ImagePixels> decodePNG(const uint8_t* data, size_t size);
std::optional<ImagePixels> decodeJPEG(const uint8_t* data, size_t size);
// PNG or JPEG by their signatures.
std::optional<ImagePixels> decode(const std::vector<uint8_t>& data);
std::optional<std::vector<uint8_t>> encodePNG(const ImagePixels& pixels);
}  // namespace ImageCodec
