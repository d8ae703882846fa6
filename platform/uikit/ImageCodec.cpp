#include "uikit/ImageCodec.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>
#include <png.h>

namespace {
bool withinLimits(size_t width, size_t height) {
  return width > 0 && height > 0 && width <= size_t(ImageCodec::kMaxSide) && height <= size_t(ImageCodec::kMaxSide) &&
         width * height <= ImageCodec::kMaxPixels;
}

// libjpeg reports fatal errors by calling error_exit, which must not return: it jumps
// back into readJPEG's frame. Nothing between the setjmp and the library calls owns
// memory of its own, so the jump skips no destructor.
struct JpegErrors {
  jpeg_error_mgr manager;
  jmp_buf jump;
  bool cutShort = false;
};

void jpegFail(j_common_ptr info) { std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1); }

void jpegMessage(j_common_ptr info, int level) {
  // Warnings stay quiet; the one that matters is the data ending early, which the
  // library would paint over with grey.
  if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) reinterpret_cast<JpegErrors*>(info->err)->cutShort = true;
}

// Reads the picture into `out` (sized here); false on any error. CMYK pictures come
// out as CMYK and are converted by the caller.
bool readJPEG(const uint8_t* data, size_t size, std::vector<uint8_t>* out, int* width, int* height, bool* cmyk,
              bool* adobe) {
  jpeg_decompress_struct info;
  JpegErrors errors;
  info.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = jpegFail;
  errors.manager.emit_message = jpegMessage;
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK || !withinLimits(info.image_width, info.image_height)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  *cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
  *adobe = info.saw_Adobe_marker;
  info.out_color_space = *cmyk ? JCS_CMYK : JCS_EXT_RGBA;
  jpeg_start_decompress(&info);
  size_t stride = size_t(info.output_width) * 4;
  out->assign(stride * info.output_height, 0);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = out->data() + stride * info.output_scanline;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  *width = int(info.output_width);
  *height = int(info.output_height);
  jpeg_destroy_decompress(&info);
  return !errors.cutShort;
}
}  // namespace

namespace ImageCodec {

bool isPNG(const uint8_t* data, size_t size) { return size >= 8 && png_sig_cmp(data, 0, 8) == 0; }

bool isJPEG(const uint8_t* data, size_t size) { return size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF; }

std::optional<ImagePixels> decodePNG(const uint8_t* data, size_t size) {
  if (!isPNG(data, size)) return std::nullopt;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, data, size)) return std::nullopt;
  if (!withinLimits(image.width, image.height)) {
    png_image_free(&image);
    return std::nullopt;
  }
  image.format = PNG_FORMAT_RGBA;
  ImagePixels pixels;
  pixels.width = int(image.width);
  pixels.height = int(image.height);
  pixels.rgba.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.rgba.data(), 0, nullptr)) {
    png_image_free(&image);
    return std::nullopt;
  }
  return pixels;
}

std::optional<ImagePixels> decodeJPEG(const uint8_t* data, size_t size) {
  if (!isJPEG(data, size)) return std::nullopt;
  ImagePixels pixels;
  bool cmyk = false, adobe = false;
  if (!readJPEG(data, size, &pixels.rgba, &pixels.width, &pixels.height, &cmyk, &adobe)) return std::nullopt;
  if (cmyk) {
    // Adobe's files store the inks inverted.
    for (size_t i = 0; i + 3 < pixels.rgba.size(); i += 4) {
      uint8_t* p = &pixels.rgba[i];
      int c = p[0], m = p[1], y = p[2], k = p[3];
      if (!adobe) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
      p[0] = uint8_t(c * k / 255);
      p[1] = uint8_t(m * k / 255);
      p[2] = uint8_t(y * k / 255);
      p[3] = 255;
    }
  }
  return pixels;
}

std::optional<ImagePixels> decode(const std::vector<uint8_t>& data) {
  if (isPNG(data.data(), data.size())) return decodePNG(data.data(), data.size());
  if (isJPEG(data.data(), data.size())) return decodeJPEG(data.data(), data.size());
  return std::nullopt;
}

std::optional<std::vector<uint8_t>> encodePNG(const ImagePixels& pixels) {
  if (!withinLimits(size_t(pixels.width), size_t(pixels.height)) ||
      pixels.rgba.size() != size_t(pixels.width) * size_t(pixels.height) * 4)
    return std::nullopt;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = png_uint_32(pixels.width);
  image.height = png_uint_32(pixels.height);
  image.format = PNG_FORMAT_RGBA;
  png_alloc_size_t size = 0;
  if (!png_image_write_get_memory_size(image, size, 0, pixels.rgba.data(), 0, nullptr)) return std::nullopt;
  std::vector<uint8_t> out(size);
  if (!png_image_write_to_memory(&image, out.data(), &size, 0, pixels.rgba.data(), 0, nullptr)) return std::nullopt;
  out.resize(size);
  return out;
}

}  // namespace ImageCodec
