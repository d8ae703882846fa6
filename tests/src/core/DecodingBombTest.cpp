// Small files that decode to far more than the ceiling: each decoder refuses them having
// held about the ceiling at once, never the ceiling and an old buffer beside a new one.
// The peak is the process's own resident-memory high-water mark, reset before each run.
#include <gtest/gtest.h>

#include <string>

#include "CompressedSamples.h"
#include "core/NSDataCompression.h"
#include "support/PeakMemory.h"

using namespace NSDataCompression;

namespace {
using testsupport::peakMemoryGrowth;

// `copies` of one compressed stream (or gzip member) one after another: the decoders
// read them all, so a stream of 8 MiB of zeros repeated 32 times is 256 MiB decoded.
Data repeated(const Data& stream, int copies) {
  Data out;
  for (int i = 0; i < copies; ++i) out.insert(out.end(), stream.begin(), stream.end());
  return out;
}

struct Bomb {
  const char* name;
  Data bytes;
  Data (*decode)(const Data&, std::string*, size_t);
};
}  // namespace

TEST(DecodingBomb, EachDecoderHoldsAboutTheCeilingAtOnce) {
  if (!testsupport::kPeakMemoryIsMeasurable) GTEST_SKIP() << "the thread checker's memory hides the decoders'";
  const Data zeros(8u << 20, 0);
  const Bomb bombs[] = {{"bzip2", repeated(bzip2Of(zeros), 32), BZunzippedData},
                        {"gzip", repeated(gzipOf(zeros), 32), GZunzippedData},
                        {"xz", repeated(xzOf(zeros), 32), XZunzippedData}};
  // The decoders' own state (a bzip2 block, an XZ dictionary of 8 MiB), the allocator's
  // slack and, under the address sanitizer, its shadow, beside the ceiling and the input.
  const size_t slack = 32u << 20;
  for (const Bomb& bomb : bombs) {
    ASSERT_LT(bomb.bytes.size(), 300000u) << bomb.name;
    std::string error;
    Data result;
    size_t peak = peakMemoryGrowth([&] { result = bomb.decode(bomb.bytes, &error, kDefaultMaxDecodedSize); });
    EXPECT_EQ(result, bomb.bytes) << bomb.name;  // refused: the input comes back
    EXPECT_NE(error.find("Decompression stream failed"), std::string::npos) << bomb.name << ": " << error;
    EXPECT_LE(peak, kDefaultMaxDecodedSize + bomb.bytes.size() + slack)
        << bomb.name << " held " << (peak >> 20) << " MiB at once";
  }
}

TEST(DecodingBomb, AWholeIndexUnderTheCeilingIsHeldAboutOnce) {
  if (!testsupport::kPeakMemoryIsMeasurable) GTEST_SKIP() << "the thread checker's memory hides the decoder's";
  // 96 MiB decoded, under the 128 MiB default: handed over as Data without a second
  // copy of the whole beside the first.
  const Data zeros(8u << 20, 0);
  const Data input = repeated(xzOf(zeros), 12);
  std::string error;
  Data result;
  size_t peak = peakMemoryGrowth([&] { result = XZunzippedData(input, &error); });
  EXPECT_EQ(result.size(), 96u << 20) << error;
  EXPECT_LE(peak, (96u << 20) + (32u << 20)) << (peak >> 20) << " MiB at once";
}

TEST(DecodingBomb, TheDefaultCeilingFitsAnIndexOfThisProjectsScale) {
  // The largest real index read here is Debian's, 50 MB decoded; a ceiling of a gigabyte
  // would let any repository make the process hold that much.
  EXPECT_GE(kDefaultMaxDecodedSize, size_t(64) << 20);
  EXPECT_LE(kDefaultMaxDecodedSize, size_t(256) << 20);
}
