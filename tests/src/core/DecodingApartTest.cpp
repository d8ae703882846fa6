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
  ErrorRef failure = decodeFileApart(path, format, [&](const uint8_t* bytes, size_t size) {
    out.append(reinterpret_cast<const char*>(bytes), size);
    return true;
  });
  *ok = !failure;
  if (failure) *error = failure->localizedDescription();
  return out;
}

std::string reasonOf(const ErrorRef& error) { return error ? error->localizedDescription() : "(no error)"; }

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
  ErrorRef stopped = decodeFileApart(kRepo + "Packages.gz", Format::GZip, [&](const uint8_t*, size_t) {
    ++calls;
    return false;
  });
  EXPECT_EQ(calls, 1u);
  EXPECT_EQ(reasonOf(stopped), "The decoded data could not be written");

  ErrorRef tooLarge =
      decodeFileApart(kRepo + "Packages.bz2", Format::BZip2, [](const uint8_t*, size_t) { return true; }, 100);
  EXPECT_EQ(reasonOf(tooLarge), "The decoded data is larger than allowed");
}
