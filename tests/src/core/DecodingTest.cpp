#include <bzlib.h>
#include <gtest/gtest.h>
#include <lzma.h>
#include <zlib.h>

#include <string>

#include "CompressedSamples.h"
#include "core/NSDataCompression.h"
#include "foundation/Files.h"
#include "support/TestData.h"

using namespace NSDataCompression;

namespace {

// A small index written for the tests, compressed by the real tools.
const std::string kRepo = testdata::fixture("repo/");

Data readFile(const std::string& path) {
  std::optional<Data> bytes = Files::read(path);
  EXPECT_TRUE(bytes) << path;
  return bytes.value_or(Data{});
}

const Data& plainPackages() {
  static const Data plain = readFile(kRepo + "Packages");
  return plain;
}

Data cut(const Data& data, size_t length) { return Data(data.begin(), data.begin() + static_cast<ptrdiff_t>(length)); }

}  // namespace

namespace {
// Every compressed form in FOLDER decodes to its plain "Packages".
void expectEveryFormDecodes(const std::string& folder) {
  const Data plain = readFile(folder + "Packages");
  ASSERT_GT(plain.size(), 10000u);
  struct Case {
    const char* file;
    Data (*decode)(const Data&, std::string*, size_t);
  } cases[] = {
      {"Packages.gz", GZunzippedData},     {"Packages.bz2", BZunzippedData},
      {"Packages.xz", XZunzippedData},     {"Packages.lzma", LZMAunzippedData},
      // The refresh hands ".lzma" to the XZ decoder; it must read it as LZMA.
      {"Packages.lzma", XZunzippedData},
  };
  for (const Case& c : cases) {
    std::string error;
    Data decoded = c.decode(readFile(folder + c.file), &error, kDefaultMaxDecodedSize);
    EXPECT_EQ(error, "") << c.file;
    EXPECT_TRUE(decoded == plain) << c.file << " decoded to " << decoded.size() << " bytes";
  }
}
}  // namespace

TEST(DecodingTest, EveryCompressedIndexDecodesToThePlainIndex) { expectEveryFormDecodes(kRepo); }

TEST(DecodingTest, ARealRepositorysCompressedIndexesDecodeToItsPlainIndex) {
  QB_TESTDATA_OR_SKIP(repo, "repos/poomsmart/repo");
  expectEveryFormDecodes(repo + "/");
}

TEST(DecodingTest, SignatureTests) {
  EXPECT_TRUE(isGZippedData(readFile(kRepo + "Packages.gz")));
  EXPECT_TRUE(isBZippedData(readFile(kRepo + "Packages.bz2")));
  EXPECT_TRUE(isXZippedData(readFile(kRepo + "Packages.xz")));
  EXPECT_TRUE(isLZMAZippedData(readFile(kRepo + "Packages.lzma")));
  for (const char* other : {"Packages", "Packages.lz4", "Packages.zst", "Packages.xz"})
    EXPECT_FALSE(isLZMAZippedData(readFile(kRepo + other))) << other;
  EXPECT_FALSE(isGZippedData(readFile(kRepo + "Packages.bz2")));
  EXPECT_FALSE(isBZippedData(readFile(kRepo + "Packages.gz")));
  EXPECT_FALSE(isXZippedData(readFile(kRepo + "Packages.lzma")));

  // Short data never matches, even when it is a prefix of the signature.
  EXPECT_FALSE(isBZippedData(Data{0x42, 0x5A}));
  EXPECT_TRUE(isBZippedData(Data{0x42, 0x5A, 0x68}));
  EXPECT_FALSE(isGZippedData(Data{0x1F, 0x8B}));
  EXPECT_FALSE(isGZippedData(Data{0x1F, 0x8B, 0x09}));  // a method other than deflate
  EXPECT_FALSE(isXZippedData(Data{0xFD, 0x37, 0x7A, 0x58, 0x5A}));
  EXPECT_TRUE(isXZippedData(Data{0xFD, 0x37, 0x7A, 0x58, 0x5A, 0x00}));
  EXPECT_FALSE(isLZMAZippedData(Data{0x5D, 0x00, 0x00, 0x80, 0x00}));
  EXPECT_FALSE(isBZippedData(Data{}));
}

TEST(DecodingTest, UnsupportedFormatsAreRefusedAndReturnedUnchanged) {
  for (const char* file : {"Packages.lz4", "Packages.zst"}) {
    const Data input = readFile(kRepo + file);
    std::string error;
    EXPECT_EQ(GZunzippedData(input, &error), input);
    EXPECT_EQ(error, "This is not a valid GZ compressed file");
    EXPECT_EQ(BZunzippedData(input, &error), input);
    EXPECT_EQ(error, "This is not a valid BZ2 compressed file");
    EXPECT_EQ(LZMAunzippedData(input, &error), input);
    EXPECT_EQ(error, "This is not a valid LZMA compressed file");
    // XZ has no signature test; the decoder itself names the wrong format.
    EXPECT_EQ(XZunzippedData(input, &error), input);
    EXPECT_EQ(error, "LZMA(XZ) Decompression stream failed with error code: (7)") << file;
  }
}

TEST(DecodingTest, EmptyAndWrongSignatureInputs) {
  std::string error;
  EXPECT_EQ(GZunzippedData(Data{}, &error), Data{});
  EXPECT_EQ(error, "This is not a valid GZ compressed file");
  EXPECT_EQ(BZunzippedData(Data{}, &error), Data{});
  EXPECT_EQ(error, "This is not a valid BZ2 compressed file");
  EXPECT_EQ(XZunzippedData(Data{}, &error), Data{});
  EXPECT_EQ(error, "This is not a valid LZMA(XZ) compressed file");
  EXPECT_EQ(LZMAunzippedData(Data{}, &error), Data{});
  EXPECT_EQ(error, "This is not a valid LZMA compressed file");

  // A zlib stream is refused by the gzip decoder: the signature test comes first.
  const Data zlib = zlibOf(plainPackages());
  EXPECT_EQ(GZunzippedData(zlib, &error), zlib);
  EXPECT_EQ(error, "This is not a valid GZ compressed file");

  const Data plain = plainPackages();
  EXPECT_EQ(BZunzippedData(plain, &error), plain);
  EXPECT_EQ(error, "This is not a valid BZ2 compressed file");
  EXPECT_EQ(XZunzippedData(plain, &error), plain);
  EXPECT_EQ(error, "LZMA(XZ) Decompression stream failed with error code: (7)");

  // Without the out-parameter the caller still gets the input back.
  EXPECT_EQ(GZunzippedData(plain), plain);
}

TEST(DecodingTest, TruncatedInputFailsWithTheStreamMessage) {
  struct Case {
    const char* file;
    Data (*decode)(const Data&, std::string*, size_t);
    const char* prefix;
  } cases[] = {
      {"Packages.gz", GZunzippedData, "GZ Decompression stream failed with error code: ("},
      {"Packages.bz2", BZunzippedData, "BZ2 Decompression stream failed with error code: ("},
      {"Packages.xz", XZunzippedData, "LZMA(XZ) Decompression stream failed with error code: ("},
      {"Packages.lzma", LZMAunzippedData, "LZMA Decompression stream failed with error code: ("},
      {"Packages.lzma", XZunzippedData, "LZMA(XZ) Decompression stream failed with error code: ("},
  };
  for (const Case& c : cases) {
    const Data whole = readFile(kRepo + c.file);
    // Cut in the header, in the middle, and just before the end marker or check.
    for (size_t length : {size_t(14), whole.size() / 2, whole.size() - 1}) {
      const Data truncated = cut(whole, length);
      std::string error;
      EXPECT_EQ(c.decode(truncated, &error, kDefaultMaxDecodedSize), truncated) << c.file << " " << length;
      EXPECT_EQ(error.rfind(c.prefix, 0), 0u) << c.file << " " << length << ": " << error;
    }
  }
}

TEST(DecodingTest, CorruptedInputFailsAndReturnsTheInput) {
  for (const char* file : {"Packages.gz", "Packages.bz2", "Packages.xz", "Packages.lzma"}) {
    Data corrupt = readFile(kRepo + file);
    for (size_t i = corrupt.size() / 3; i < corrupt.size() / 3 + 64; ++i) corrupt[i] ^= 0x5A;
    std::string error;
    Data result = std::string(file) == "Packages.gz"    ? GZunzippedData(corrupt, &error)
                  : std::string(file) == "Packages.bz2" ? BZunzippedData(corrupt, &error)
                                                        : XZunzippedData(corrupt, &error);
    EXPECT_EQ(result, corrupt) << file;
    EXPECT_NE(error.find("Decompression stream failed with error code"), std::string::npos)
        << file << ": " << error;
  }
}

TEST(DecodingTest, ConcatenatedStreamsAreAllDecoded) {
  const Data a = dataFromString("Package: first\n\n");
  const Data b = dataFromString("Package: second\n\n");
  const Data both = concat(a, b);
  std::string error;
  EXPECT_EQ(GZunzippedData(concat(gzipOf(a), gzipOf(b)), &error), both) << error;
  EXPECT_EQ(BZunzippedData(concat(bzip2Of(a), bzip2Of(b)), &error), both) << error;
  EXPECT_EQ(XZunzippedData(concat(xzOf(a), xzOf(b)), &error), both) << error;
}

TEST(DecodingTest, DecodedSizeCeiling) {
  const Data& plain = plainPackages();
  struct Case {
    const char* file;
    Data (*decode)(const Data&, std::string*, size_t);
    const char* message;
  } cases[] = {
      {"Packages.gz", GZunzippedData, "GZ Decompression stream failed with error code: (-4)"},
      {"Packages.bz2", BZunzippedData, "BZ2 Decompression stream failed with error code: (-3)"},
      {"Packages.xz", XZunzippedData, "LZMA(XZ) Decompression stream failed with error code: (6)"},
      {"Packages.lzma", LZMAunzippedData, "LZMA Decompression stream failed with error code: (6)"},
  };
  for (const Case& c : cases) {
    const Data input = readFile(kRepo + c.file);
    std::string error;
    EXPECT_EQ(c.decode(input, &error, plain.size()), plain) << c.file << ": " << error;
    error.clear();
    EXPECT_EQ(c.decode(input, &error, plain.size() - 1), input) << c.file;
    EXPECT_EQ(error, c.message);
    EXPECT_EQ(c.decode(input, &error, 1000), input) << c.file;
    EXPECT_EQ(error, c.message);
  }
}

TEST(DecodingTest, SmallBombStopsAtTheCeiling) {
  // 16 MiB of zeros packs into a few kilobytes; with a 1 MiB ceiling every decoder stops.
  const Data zeros(16u << 20, 0);
  const size_t ceiling = 1u << 20;
  std::string error;
  const Data gz = gzipOf(zeros);
  ASSERT_LT(gz.size(), 100000u);
  EXPECT_EQ(GZunzippedData(gz, &error, ceiling), gz);
  EXPECT_EQ(error, "GZ Decompression stream failed with error code: (-4)");
  const Data bz = bzip2Of(zeros);
  EXPECT_EQ(BZunzippedData(bz, &error, ceiling), bz);
  EXPECT_EQ(error, "BZ2 Decompression stream failed with error code: (-3)");
  const Data xz = xzOf(zeros);
  EXPECT_EQ(XZunzippedData(xz, &error, ceiling), xz);
  EXPECT_EQ(error, "LZMA(XZ) Decompression stream failed with error code: (6)");
  // Under the default ceiling the same data decodes whole.
  EXPECT_EQ(GZunzippedData(gz, &error).size(), zeros.size());
}

TEST(DecodingTest, LZMAHeaderClaimingAHugeDictionaryFails) {
  Data lzma = readFile(kRepo + "Packages.lzma");
  // 3 GiB dictionary (2^31 + 2^30), a shape the header test accepts.
  lzma[1] = 0x00, lzma[2] = 0x00, lzma[3] = 0x00, lzma[4] = 0xC0;
  ASSERT_TRUE(isLZMAZippedData(lzma));
  std::string error;
  EXPECT_EQ(LZMAunzippedData(lzma, &error), lzma);
  EXPECT_EQ(error, "LZMA Decompression stream failed with error code: (6)");
}
