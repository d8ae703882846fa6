// What an index may cost a refresh: it is streamed, never held whole, so what is held at
// once is bounded (the decoder's own state, one stanza) whatever its size; what it may
// bring is bounded too (the stanzas of a source, the records of the database), and an
// index past a bound fails the refresh with an error that names the bound, on the
// source, which stays as it was.
#include <zlib.h>

#include "core/NSDataCompression.h"
#include "database/KVSourceIndexImport.h"
#include "support/IndexIdentifiers.h"
#include "support/PeakMemory.h"
#include "support/SourceRefreshFixture.h"
#include "support/TestData.h"

namespace {

// A gzip stream written a piece at a time.
class GzipWriter {
 public:
  GzipWriter() { deflateInit2(&stream_, 1, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY); }
  ~GzipWriter() { deflateEnd(&stream_); }
  void write(std::string_view bytes, bool last = false) {
    stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream_.avail_in = static_cast<uInt>(bytes.size());
    unsigned char out[1 << 16];
    do {
      stream_.next_out = out;
      stream_.avail_out = sizeof out;
      deflate(&stream_, last ? Z_FINISH : Z_NO_FLUSH);
      packed_.append(reinterpret_cast<char*>(out), sizeof out - stream_.avail_out);
    } while (stream_.avail_out == 0 || (last && stream_.avail_in > 0));
  }
  std::string finish() {
    write({}, true);
    return std::move(packed_);
  }

 private:
  z_stream stream_{};
  std::string packed_;
};

class SourceRefreshCeilings : public SourceRefreshFixture {
 protected:
  // A repository holding only `name` (and a Release).
  std::string serveOnly(const std::string& folder, const std::string& name, const std::string& bytes) {
    std::string location = locationOf(folder);
    EXPECT_TRUE(Files::writeAtomically(repositories.file(folder) + "/" + name, bytes));
    EXPECT_TRUE(Files::writeAtomically(repositories.file(folder) + "/Release", std::string("Origin: Test\nLabel: Test\n")));
    return location;
  }
  // The refresh ended through its failure exit, with `text` in the source's failure,
  // and nothing of the index was applied.
  void expectRefused(const std::string& location, const std::string& text) {
    ASSERT_TRUE(refresh(location));
    auto record = source(location);
    ASSERT_TRUE(record) << "the source stays";
    EXPECT_EQ(record->hasErrors(), true);
    EXPECT_NE(record->Description().value_or("").find(text), std::string::npos) << record->Description().value_or("");
    EXPECT_TRUE(packagesOf(location).empty());
  }
};

// Debian's index four times over, each copy's packages renamed: 253,744 stanzas, 201 MB
// decoded, more than any ceiling on data held whole.
TEST_F(SourceRefreshCeilings, AnIndexOfAnySizeIsStreamedThroughInBoundedMemory) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a quarter of a million records take too long under the checkers; the plain run refreshes them";
#endif
  QB_TESTDATA_OR_SKIP(debian, "debian/bookworm-main-amd64-Packages.xz");
  std::string error;
  auto identifiers = packageIdentifiersOfIndex(debian, &error);
  ASSERT_TRUE(identifiers) << error;
  GzipWriter packed;
  size_t decoded = 0;
  for (int copy = 0; copy < 4; ++copy) {
    const std::string prefix = copy ? "Package: r" + std::to_string(copy) + "-" : "Package: ";
    std::string pending;
    ErrorRef failure = NSDataCompression::decodeFile(debian, NSDataCompression::Format::XZ, [&](const uint8_t* bytes, size_t size) {
      pending.append(reinterpret_cast<const char*>(bytes), size);
      size_t start = 0, end;
      std::string renamed;
      for (; (end = pending.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string_view line(pending.data() + start, end - start + 1);
        if (line.substr(0, 9) == "Package: ") {
          renamed.append(prefix).append(line.substr(9));
        } else {
          renamed.append(line);
        }
      }
      pending.erase(0, start);
      decoded += renamed.size();
      packed.write(renamed);
      return true;
    }, SIZE_MAX);
    ASSERT_FALSE(failure) << failure->localizedDescription();
    packed.write(pending + "\n");
  }
  ASSERT_GT(decoded, NSDataCompression::kDefaultMaxDecodedSize) << "more than the ceiling of data held whole";
  std::string location = serveOnly("big", "Packages.gz", packed.finish());
  addSourceRecord(location);
  size_t peak = testsupport::peakMemoryGrowth([&] { ASSERT_TRUE(refresh(location)); });
  auto record = source(location);
  ASSERT_TRUE(record);
  EXPECT_EQ(record->hasErrors(), false) << record->Description().value_or("");
  EXPECT_EQ(record->totalPackages(), std::to_string(4 * identifiers->size()));
  EXPECT_EQ(Files::fileSize(listFilePath(location)).value_or(0), decoded + 4);
  // What the refresh holds is the pipeline's few chunks and stanzas, the records of one
  // transaction on their way, the database's pages and the copy in memory of every
  // package's listed columns: less than the index, which is never held whole.
  if (testsupport::kPeakMemoryIsMeasurable) {
    EXPECT_LT(peak, decoded) << "held " << (peak >> 20) << " MiB of a " << (decoded >> 20) << " MiB index";
  }
}

// An index of twice the most stanzas a source may list, each a package of a few hundred
// bytes (as hostile repositories serve them, 6 million in 16 MB): refused as it is read,
// once past the ceiling, in less memory than the index; the source keeps the package it
// had, and the other source is untouched.
TEST_F(SourceRefreshCeilings, AnIndexPastTheSourceCeilingFailsAndLeavesEverySourceAsItWas) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the ceiling's records take too long under the checkers; the plain run refreshes them";
#endif
  auto gzipped = [](const std::string& text) {
    GzipWriter packed;
    packed.write(text);
    return packed.finish();
  };
  const std::string other = serveOnly("other", "Packages.gz", gzipped(stanza("com.example.other", "1.0")));
  const std::string location = serveOnly("many", "Packages.gz", gzipped(stanza("com.example.first", "1.0")));
  for (const auto& source : {other, location}) ASSERT_TRUE(refresh(source));
  const std::string list = listFile(location), otherList = listFile(other);

  GzipWriter packed;
  const std::string description = "\nDescription: " + std::string(200, 'x') + "\n\n";
  size_t decoded = 0;
  for (size_t i = 0; i < 2 * KVSourceIndexImport::kMaximumSourceEntries; ++i) {
    std::string entry = "Package: com.example.p" + std::to_string(i) + "\nVersion: 1" + description;
    decoded += entry.size();
    packed.write(entry);
  }
  serveOnly("many", "Packages.gz", packed.finish());
  ageListFiles(location);
  size_t peak = testsupport::peakMemoryGrowth([&] { ASSERT_TRUE(refresh(location)); });
  auto record = source(location);
  ASSERT_TRUE(record);
  EXPECT_EQ(record->hasErrors(), true);
  EXPECT_NE(record->Description().value_or("").find("lists more than 300,000 packages"), std::string::npos)
      << record->Description().value_or("");
  ASSERT_EQ(packagesOf(location).size(), 1u);
  EXPECT_EQ(packagesOf(location)[0].identifier(), "com.example.first");
  EXPECT_EQ(listFile(location), list);
  EXPECT_EQ(source(other)->hasErrors(), false);
  EXPECT_EQ(packagesOf(other).size(), 1u);
  EXPECT_EQ(listFile(other), otherList);
  if (testsupport::kPeakMemoryIsMeasurable) {
    EXPECT_LT(peak, decoded) << "held " << (peak >> 20) << " MiB of a " << (decoded >> 20) << " MiB index";
  }
}

// An LZMA index whose header asks for a 1.5 GiB dictionary.
TEST_F(SourceRefreshCeilings, AnIndexThatNeedsTooMuchMemoryToUnpackIsAFailure) {
  std::string header = {'\x5d', '\x00', '\x00', '\x00', '\x60'};
  header += std::string(8, '\xff');
  header += std::string(64, '\0');
  expectRefused(serveOnly("greedy", "Packages.lzma", header), "MB of memory to unpack");
}

// One stanza of 40 MB: a description that runs on and on.
TEST_F(SourceRefreshCeilings, AStanzaLargerThanTheCeilingIsAFailure) {
  GzipWriter packed;
  packed.write(stanza("com.example.small", "1.0"));
  packed.write("Package: com.example.huge\nVersion: 1.0\nDescription: ");
  const std::string run(1 << 20, 'a');
  for (int i = 0; i < 40; ++i) packed.write(run);
  packed.write("\n\n");
  const std::string location = serveOnly("huge", "Packages.gz", packed.finish());
  expectRefused(location, "is larger than 32 MB");
  // The list file, in place while the records were read, went again with them.
  EXPECT_FALSE(Files::exists(KVAPTManager::packagesPathForSource(location)));
}

}  // namespace
