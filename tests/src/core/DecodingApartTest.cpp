// Decoding in the helper process: the same bytes as decoding here, the helper's reason
// on failure, and a sink that stops ends the helper.
#include <gtest/gtest.h>

#include <string>

#include "core/NSDataCompression.h"
#include "foundation/Files.h"
#include "support/TempDir.h"
#include "support/TestData.h"

using namespace NSDataCompression;

namespace {

const std::string kRepo = testdata::fixture("repo/");

std::string decodedApart(const std::string& path, Format format, bool* ok, std::string* error) {
  std::string out;
  *ok = decodeFileApart(path, format, [&](const uint8_t* bytes, size_t size) {
    out.append(reinterpret_cast<const char*>(bytes), size);
    return true;
  }, error);
  return out;
}

}  // namespace

TEST(DecodingApartTest, TheHelperIsFoundAndDecodesEveryFormToThePlainIndex) {
  ASSERT_FALSE(decoderHelperPath().empty()) << "the refresh would decode in its own process";
  const std::string plain = Files::readText(kRepo + "Packages").value_or("");
  ASSERT_GT(plain.size(), 10000u);
  for (auto [file, format] : {std::pair{"Packages.gz", Format::GZip}, std::pair{"Packages.bz2", Format::BZip2},
                              std::pair{"Packages.xz", Format::XZ}, std::pair{"Packages.lzma", Format::LZMA},
                              std::pair{"Packages", Format::None}}) {
    bool ok = false;
    std::string error;
    EXPECT_EQ(decodedApart(kRepo + file, format, &ok, &error), plain) << file;
    EXPECT_TRUE(ok) << file << ": " << error;
  }
}

TEST(DecodingApartTest, AFailureCarriesTheDecodersReasonAndAStoppedSinkEndsTheHelper) {
  TempDir dir;
  const std::string whole = Files::readText(kRepo + "Packages.xz").value_or("");
  ASSERT_TRUE(Files::writeAtomically(dir.path() + "/cut.xz", whole.substr(0, whole.size() / 2)));
  bool ok = true;
  std::string error;
  decodedApart(dir.path() + "/cut.xz", Format::XZ, &ok, &error);
  EXPECT_FALSE(ok);
  EXPECT_EQ(error.rfind("LZMA(XZ) Decompression stream failed with error code: (", 0), 0u) << error;

  ok = decodedApart(dir.path() + "/missing.xz", Format::XZ, &ok, &error).empty() && !ok;
  EXPECT_TRUE(ok) << "a missing file fails";

  size_t calls = 0;
  error.clear();
  EXPECT_FALSE(decodeFileApart(kRepo + "Packages.gz", Format::GZip, [&](const uint8_t*, size_t) {
    ++calls;
    return false;
  }, &error));
  EXPECT_EQ(calls, 1u);
  EXPECT_EQ(error, "The decoded data could not be written");

  error.clear();
  EXPECT_FALSE(decodeFileApart(kRepo + "Packages.bz2", Format::BZip2, [](const uint8_t*, size_t) { return true; },
                               &error, 100));
  EXPECT_EQ(error, "The decoded data is larger than allowed");
}
