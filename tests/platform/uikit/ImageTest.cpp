// Images from PNG and JPEG bytes down to their pixels, rounded corners, and PNG written
// back.
#include <gtest/gtest.h>

#include <cstdio>
#include <jpeglib.h>

#include "foundation/Files.h"
#include "support/TestData.h"
#include "uikit/UIImage.h"
#include "ImageFixtures.h"

namespace {
std::vector<uint8_t> pixelAt(const UIImage& image, int x, int y) {
  auto bitmap = image.bitmap();
  const uint8_t* p = bitmap->at(x, y);
  return {p[0], p[1], p[2], p[3]};
}

// A JPEG written by libjpeg itself: the left half of each row red, the right half blue.
std::vector<uint8_t> jpegOf(int width, int height, J_COLOR_SPACE space, bool progressive = false) {
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = JDIMENSION(width);
  info.image_height = JDIMENSION(height);
  info.input_components = space == JCS_GRAYSCALE ? 1 : space == JCS_CMYK ? 4 : 3;
  info.in_color_space = space;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 95, TRUE);
  if (progressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  std::vector<uint8_t> row(size_t(width) * size_t(info.input_components));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &row[size_t(x) * size_t(info.input_components)];
      bool left = x < width / 2;
      if (space == JCS_GRAYSCALE) p[0] = left ? 200 : 40;
      else if (space == JCS_CMYK) {  // Adobe's inverted inks: 255 is no ink
        p[0] = left ? 255 : 0, p[1] = left ? 0 : 0, p[2] = left ? 0 : 255, p[3] = 255;
      } else {
        p[0] = left ? 230 : 20, p[1] = 20, p[2] = left ? 20 : 230;
      }
    }
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&info, &r, 1);
  }
  jpeg_finish_compress(&info);
  std::vector<uint8_t> out(buffer, buffer + size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return out;
}

void expectNear(const std::vector<uint8_t>& pixel, std::vector<int> want, int tolerance = 12) {
  ASSERT_EQ(pixel.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(int(pixel[i]), want[i], tolerance) << "component " << i;
}
}  // namespace

TEST(ImageTest, PngPixelsComeOutAsStraightRGBA) {
  auto image = UIImage::imageWithData(kRGBA4x2, 2);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->size(), (CGSize{2, 1})) << "points are pixels over the scale";
  EXPECT_EQ(pixelAt(*image, 0, 0), (std::vector<uint8_t>{255, 0, 0, 255}));
  EXPECT_EQ(pixelAt(*image, 3, 0), (std::vector<uint8_t>{0, 0, 0, 0}));
  EXPECT_EQ(pixelAt(*image, 2, 1), (std::vector<uint8_t>{128, 128, 128, 128})) << "alpha is not premultiplied";
  EXPECT_EQ(pixelAt(*image, 3, 1), (std::vector<uint8_t>{255, 255, 0, 255}));
  EXPECT_EQ(image->data(), kRGBA4x2);

  auto palette = UIImage::imageWithData(kPalette3x1);
  ASSERT_TRUE(palette);
  EXPECT_EQ(pixelAt(*palette, 2, 0), (std::vector<uint8_t>{0, 0, 255, 128}));
  auto grey = UIImage::imageWithData(kGrayAlpha16_2x1);
  ASSERT_TRUE(grey);
  EXPECT_EQ(pixelAt(*grey, 0, 0), (std::vector<uint8_t>{255, 255, 255, 255}));
  EXPECT_EQ(pixelAt(*grey, 1, 0)[3], 0);
}

TEST(ImageTest, DamagedOrOversizedPngIsNoImage) {
  EXPECT_EQ(UIImage::imageWithData({}), nullptr);
  EXPECT_EQ(UIImage::imageWithData({1, 2, 3}), nullptr);
  for (size_t cut : {8u, 24u, 40u, 60u, 72u}) {  // the pixels end at byte 74
    std::vector<uint8_t> part(kRGBA4x2.begin(), kRGBA4x2.begin() + long(cut));
    EXPECT_EQ(UIImage::imageWithData(part), nullptr) << "cut after " << cut << " bytes";
  }
  auto damaged = kRGBA4x2;
  damaged[50] ^= 0x40;  // inside the compressed pixels: the chunk's checksum no longer matches
  EXPECT_EQ(UIImage::imageWithData(damaged), nullptr);
  EXPECT_EQ(UIImage::imageWithData(kHugeHeader), nullptr) << "refused before taking the memory";
}

TEST(ImageTest, JpegOfEveryKindDecodes) {
  struct Kind {
    const char* name;
    J_COLOR_SPACE space;
    bool progressive;
    std::vector<int> left, right;
  };
  for (const Kind& k : {Kind{"baseline", JCS_RGB, false, {230, 20, 20, 255}, {20, 20, 230, 255}},
                        Kind{"progressive", JCS_RGB, true, {230, 20, 20, 255}, {20, 20, 230, 255}},
                        Kind{"grey", JCS_GRAYSCALE, false, {200, 200, 200, 255}, {40, 40, 40, 255}},
                        Kind{"CMYK", JCS_CMYK, false, {255, 0, 0, 255}, {0, 0, 255, 255}}}) {
    SCOPED_TRACE(k.name);
    auto image = UIImage::imageWithData(jpegOf(32, 16, k.space, k.progressive));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), (CGSize{32, 16}));
    expectNear(pixelAt(*image, 4, 8), k.left);
    expectNear(pixelAt(*image, 28, 8), k.right);
  }
}

TEST(ImageTest, CutOffJpegIsNoImageRatherThanGrey) {
  auto whole = jpegOf(64, 64, JCS_RGB);
  ASSERT_TRUE(UIImage::imageWithData(whole));
  std::vector<uint8_t> half(whole.begin(), whole.begin() + long(whole.size() / 2));
  EXPECT_EQ(UIImage::imageWithData(half), nullptr);
  std::vector<uint8_t> header(whole.begin(), whole.begin() + 20);
  EXPECT_EQ(UIImage::imageWithData(header), nullptr);
}

TEST(ImageTest, GifKeepsItsSizeButHasNoPixels) {
  std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', 10, 0, 20, 0, 0, 0, 0};
  auto image = UIImage::imageWithData(gif);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->size(), (CGSize{10, 20}));
  EXPECT_EQ(image->bitmap(), nullptr);
  EXPECT_FALSE(UIImagePNGRepresentation(*image));
  EXPECT_EQ(image->imageWithRoundedCorners(4), nullptr);
}

TEST(ImageTest, PngWrittenBackReadsTheSamePixels) {
  for (const auto* bytes : {&kRGBA4x2, &kPalette3x1}) {
    auto image = UIImage::imageWithData(*bytes);
    auto png = UIImagePNGRepresentation(*image);
    ASSERT_TRUE(png);
    auto again = UIImage::imageWithData(*png);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->bitmap()->rgba, image->bitmap()->rgba);
  }
  // A JPEG is written as PNG too (the banner cache keeps PNG whatever was downloaded).
  auto photo = UIImage::imageWithData(jpegOf(16, 8, JCS_RGB));
  auto png = UIImagePNGRepresentation(*photo);
  ASSERT_TRUE(png);
  EXPECT_EQ(UIImage::imageWithData(*png)->bitmap()->rgba, photo->bitmap()->rgba);
}

TEST(ImageTest, OneColourImagesHavePixelsAtTheirScale) {
  auto image = UIImage::filledImage(UIColor::colorWithRed(1, 0, 0, 0.5), {2, 1}, 2);
  auto bitmap = image->bitmap();
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(bitmap->width, 4);
  EXPECT_EQ(bitmap->height, 2);
  EXPECT_EQ(pixelAt(*image, 3, 1), (std::vector<uint8_t>{255, 0, 0, 128}));
  EXPECT_TRUE(UIImagePNGRepresentation(*image));
}

TEST(ImageTest, RoundedCornersAreClearAndTheRestKeepsItsColour) {
  // 40 x 40 pixels at scale 2: a layer of 20 x 20 points, rendered at scale 1.
  auto square = UIImage::filledImage(UIColor::colorWithRed(0, 0, 1, 1), {20, 20}, 2);
  auto rounded = square->imageWithRoundedCorners(5);
  ASSERT_TRUE(rounded);
  EXPECT_EQ(rounded->scale(), 1);
  EXPECT_EQ(rounded->bitmap()->width, 20);
  for (auto [x, y] : {std::pair{0, 0}, {19, 0}, {0, 19}, {19, 19}}) EXPECT_EQ(pixelAt(*rounded, x, y)[3], 0);
  EXPECT_EQ(pixelAt(*rounded, 10, 10), (std::vector<uint8_t>{0, 0, 255, 255}));
  EXPECT_EQ(pixelAt(*rounded, 0, 10)[3], 255) << "the straight edges are untouched";
  EXPECT_EQ(pixelAt(*rounded, 10, 0)[3], 255);
  int edge = pixelAt(*rounded, 1, 1)[3];  // on the arc: partly covered
  EXPECT_GT(edge, 0);
  EXPECT_LT(edge, 255);
  // Corners larger than half the side make a circle.
  auto circle = square->imageWithRoundedCorners(100);
  EXPECT_EQ(pixelAt(*circle, 2, 2)[3], 0);
  EXPECT_EQ(pixelAt(*circle, 10, 0)[3], 255);

  auto png = UIImagePNGRepresentation(*rounded);
  ASSERT_TRUE(png);
  auto again = UIImage::imageWithData(*png);
  EXPECT_EQ(again->bitmap()->rgba, rounded->bitmap()->rgba);
}

TEST(ImageTest, RoundingAveragesDownScaledPixelsByTheirAlpha) {
  // 4 x 2 pixels at scale 2 is 2 x 1 points: each output pixel averages a 2 x 2 block.
  auto image = UIImage::imageWithData(kRGBA4x2, 2);
  auto flat = image->imageWithRoundedCorners(0);
  ASSERT_TRUE(flat);
  EXPECT_EQ(flat->bitmap()->width, 2);
  // Red, green, white, black, all opaque.
  expectNear(pixelAt(*flat, 0, 0), {128, 128, 64, 255}, 1);
  // Blue and yellow opaque, a clear pixel and a half-clear grey: the clear one adds no colour.
  expectNear(pixelAt(*flat, 1, 0), {128, 128, 128, 160}, 1);
}

TEST(ImageTest, RepositoryIconsDecode) {
  QB_TESTDATA_OR_SKIP(repo, "repos/paidrepo");
  auto icon = UIImage::imageWithContentsOfFile(repo + "/CydiaIcon@2x.png");
  ASSERT_TRUE(icon);
  EXPECT_EQ(icon->scale(), 2);
  auto bitmap = icon->bitmap();
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(icon->size().width * 2, bitmap->width);
  auto plain = UIImage::imageWithContentsOfFile(repo + "/CydiaIcon.png");
  ASSERT_TRUE(plain);
  EXPECT_TRUE(plain->imageWithRoundedCorners(plain->size().width * 0.2237));
}
