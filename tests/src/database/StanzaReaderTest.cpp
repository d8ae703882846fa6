// The streaming stanza reader: line rules on small crafted files, every real index of
// the test data, and the Debian index in bounded memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "database/KVParsingUtility.h"
#include "database/KVLineScanner.h"
#include "database/KVStanzaReader.h"
#include "support/TempDir.h"
#include "support/TestData.h"

namespace {

using namespace std::string_literals;

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

struct Copied {
  std::vector<std::pair<std::string, std::string>> fields;
  std::string get(const std::string& name) const {
    for (auto& f : fields)
      if (f.first == name) return f.second;
    return "<missing>";
  }
};

std::vector<Copied> readAll(const std::string& path) {
  std::vector<Copied> out;
  KVParsingUtility::enumeratePackagesOfFileAtPath(path, [&](KVStanza& s) {
    Copied c;
    for (auto f : s) c.fields.emplace_back(std::string(f.name), std::string(f.value));
    out.push_back(std::move(c));
  });
  return out;
}

std::vector<Copied> parse(const std::string& bytes) {
  TempDir dir;
  writeFile(dir.file("Packages"), bytes);
  return readAll(dir.file("Packages"));
}

TEST(StanzaReader, StanzasEndAtBlankLinesAndAtTheEndOfTheFile) {
  auto s = parse("Package: a\nVersion: 1\n\n\n\nPackage: b\nVersion: 2");
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0].get("Package"), "a");
  EXPECT_EQ(s[0].get("Version"), "1");
  EXPECT_EQ(s[1].get("Package"), "b");
  EXPECT_EQ(s[1].get("Version"), "2");
  EXPECT_TRUE(parse("").empty());
  EXPECT_TRUE(parse("\n\n\n").empty());
}

TEST(StanzaReader, ContinuationLinesStayInTheirField) {
  auto s = parse(
      "Package: a\n"
      "Description: short\n"
      " first line\n"
      " .\n"
      " Note: this line has a colon and a blank\n"
      "\tTabbed: too\n"
      "Section: Tweaks\n");
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s[0].get("Description"),
            "short\n first line\n .\n Note: this line has a colon and a blank\n\tTabbed: too");
  EXPECT_EQ(s[0].get("Section"), "Tweaks");
  EXPECT_EQ(s[0].fields.size(), 3u);
}

TEST(StanzaReader, InvalidUTF8LineIsReadAsWindows1252AndKept) {
  auto s = parse("Package: a\nDescription: caf\xE9\n na\xEFve \x93quoted\x94\nVersion: 1\n");
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s[0].get("Description"), "caf\xC3\xA9\n na\xC3\xAFve \xE2\x80\x9Cquoted\xE2\x80\x9D");
  EXPECT_EQ(s[0].get("Version"), "1");
}

TEST(StanzaReader, FieldLinesFollowDebianRules) {
  auto s = parse(
      "Package:nospace\n"
      "Depiction: https://example.org/a: b\n"
      "Conffiles:\n"
      " /etc/a 0123\n"
      " /etc/b 4567\n"
      "Version:   1.0  \n"
      "Maintainer: x\n"
      "no colon here\n");
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s[0].get("Package"), "nospace");
  EXPECT_EQ(s[0].get("Depiction"), "https://example.org/a: b");
  EXPECT_EQ(s[0].get("Conffiles"), "\n /etc/a 0123\n /etc/b 4567");
  EXPECT_EQ(s[0].get("Version"), "1.0");
  EXPECT_EQ(s[0].get("Maintainer"), "x\nno colon here");
}

TEST(StanzaReader, CarriageReturnsAndUnicodeLineEndsAreTrimmed) {
  auto s = parse("Package: a\r\nVersion: 1\r\n\r\nPackage: b\xE2\x80\xA8\n");
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0].get("Version"), "1");
  EXPECT_EQ(s[1].get("Package"), "b");
}

TEST(StanzaReader, RepeatedFieldReplacesTheEarlierOneInAnyCase) {
  auto s = parse("Package: a\nTag: one\ntag: two\n more\n");
  ASSERT_EQ(s.size(), 1u);
  ASSERT_EQ(s[0].fields.size(), 2u);
  EXPECT_EQ(s[0].fields[1].first, "tag");
  EXPECT_EQ(s[0].fields[1].second, "two\n more");
}

// The stanza the reader fills may refer to the reader's buffer; its copies, moved and
// changed stanzas hold their own bytes, whatever the reader does after.
TEST(StanzaReader, CopiedMovedAndChangedStanzasKeepTheirBytesAfterTheReaderMovesOn) {
  std::string text;
  for (int i = 0; i < 400; ++i)
    text += "Package: p" + std::to_string(i) + "\nDescription: short\n more " + std::string(i % 50, 'x') +
            "\nVersion: " + std::to_string(i) + "\n\n";
  for (size_t piece : {size_t{37}, size_t{1} << 20}) {  // refills inside stanzas, and none
    size_t at = 0;
    auto reader = std::make_unique<KVStanzaReader>([&](char* out, size_t room) -> ssize_t {
      size_t n = std::min({room, piece, text.size() - at});
      std::memcpy(out, text.data() + at, n);
      at += n;
      return static_cast<ssize_t>(n);
    });
    std::vector<KVStanza> copies, moved;
    KVStanza stanza;
    for (int i = 0; reader->next(stanza); ++i) {
      copies.push_back(stanza);
      if (i % 2) stanza.set("Price", "Free");
      moved.push_back(std::move(stanza));
    }
    reader.reset();
    ASSERT_EQ(copies.size(), 400u) << piece;
    for (size_t i = 0; i < copies.size(); ++i) {
      EXPECT_EQ(copies[i].value("Package"), "p" + std::to_string(i)) << piece;
      EXPECT_EQ(copies[i].value("Description"), "short\n more " + std::string(i % 50, 'x')) << piece;
      EXPECT_EQ(moved[i].value("Version"), std::to_string(i)) << piece;
      EXPECT_EQ(moved[i].value("Price"), i % 2 ? "Free" : "") << piece;
    }
  }
}

TEST(StanzaReader, ContinuationWithoutAFieldIsDropped) {
  auto s = parse(" stray\nPackage: a\n\n orphan\nPackage: b\n");
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0].get("Package"), "a");
  EXPECT_EQ(s[1].get("Package"), "b");
  EXPECT_EQ(s[1].fields.size(), 1u);
}

TEST(StanzaReader, MissingFileGivesOneEmptyStanza) {
  int calls = 0;
  size_t fields = 99;
  KVParsingUtility::enumeratePackagesOfFileAtPath("/nonexistent/Packages", [&](KVStanza& s) {
    ++calls;
    fields = s.size();
  });
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(fields, 0u);
}

TEST(StanzaReader, LinesOfAnyLengthAreReadWhole) {
  // Lines longer than the read block, and lines that straddle block boundaries.
  std::string huge(5 * KVStanzaReader::kBlockSize + 17, 'x');
  for (size_t i = 0; i < huge.size(); i += 997) huge[i] = static_cast<char>('a' + i % 26);
  std::string file;
  for (int i = 0; i < 200; ++i) {
    file += "Package: p" + std::to_string(i) + "\n";
    file += "Filler: " + std::string(KVStanzaReader::kBlockSize / 7 + i, 'f') + "\n\n";
  }
  file += "Package: big\nDescription: " + huge + "\n " + huge + "\n";
  auto s = parse(file);
  ASSERT_EQ(s.size(), 201u);
  for (int i = 0; i < 200; ++i) {
    ASSERT_EQ(s[i].get("Package"), "p" + std::to_string(i));
    ASSERT_EQ(s[i].get("Filler").size(), KVStanzaReader::kBlockSize / 7 + i);
  }
  EXPECT_EQ(s[200].get("Description"), huge + "\n " + huge);
}

TEST(StanzaReader, ReaderGivesBackMemoryAfterAHugeLine) {
  TempDir dir;
  std::string file = "Package: big\nDescription: " + std::string(20 * KVStanzaReader::kBlockSize, 'x') + "\n\n";
  for (int i = 0; i < 50; ++i) file += "Package: p" + std::to_string(i) + "\nDescription: " + std::string(4000, 'y') + "\n\n";
  writeFile(dir.file("Packages"), file);
  KVStanzaReader reader(dir.file("Packages"));
  KVStanza stanza;
  ASSERT_TRUE(reader.next(stanza));
  EXPECT_EQ(stanza.find("Description")->size(), 20 * KVStanzaReader::kBlockSize);
  int count = 0;
  while (reader.next(stanza)) ++count;
  EXPECT_EQ(count, 50);
  EXPECT_LE(reader.retainedBytes(), 2 * KVStanzaReader::kBlockSize);
  EXPECT_LE(stanza.retainedBytes(), size_t{1} << 20);
}

// Counts what an independent line scan finds: "Package:" lines, and lines that must
// end up inside a field value as continuation lines.
struct LineCounts {
  size_t packages = 0;
  size_t continuations = 0;
};

LineCounts countLines(const std::string& path) {
  LineCounts c;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("Package:", 0) == 0) ++c.packages;
    if (!line.empty() && (line[0] == ' ' || line[0] == '\t')) ++c.continuations;
  }
  return c;
}

size_t lineFeedsInValues(const KVStanza& s) {
  size_t n = 0;
  for (auto f : s) n += static_cast<size_t>(std::count(f.value.begin(), f.value.end(), '\n'));
  return n;
}

void checkRealFile(const std::string& path, size_t expectedStanzas) {
  SCOPED_TRACE(path);
  LineCounts expected = countLines(path);
  EXPECT_EQ(expected.packages, expectedStanzas);
  size_t stanzas = 0, withPackage = 0, continuations = 0;
  KVParsingUtility::enumeratePackagesOfFileAtPath(path, [&](KVStanza& s) {
    ++stanzas;
    if (s.find("Package")) ++withPackage;
    continuations += lineFeedsInValues(s);
  });
  EXPECT_EQ(stanzas, expected.packages);
  EXPECT_EQ(withPackage, expected.packages);
  EXPECT_EQ(continuations, expected.continuations);
}

TEST(StanzaReader, TheFixtureIndexAndStatusParseToOneStanzaPerPackage) {
  checkRealFile(testdata::fixture("repo/Packages"), 24);
  checkRealFile(testdata::fixture("dpkg/status"), 9);
}

TEST(StanzaReader, EveryRealIndexParsesToOneStanzaPerPackage) {
  QB_TESTDATA_OR_SKIP(repos, "repos");
  checkRealFile(repos + "/poomsmart/repo/Packages", 910);
  checkRealFile(repos + "/procursus-mirror/Packages", 799);
  checkRealFile(repos + "/nepeta/Packages", 185);
  checkRealFile(repos + "/utm/Packages", 3);
  checkRealFile(repos + "/paidrepo/Packages", 3);
  checkRealFile(testdata::root() + "/dpkg/ios15-rootless/Library/dpkg/status", 335);
}

TEST(StanzaReader, MultiLineDescriptionsAndConffilesOfTheDpkgStatus) {
  QB_TESTDATA_OR_SKIP(status, "dpkg/ios15-rootless/Library/dpkg/status");
  auto all = readAll(status);
  size_t withConffiles = 0;
  for (auto& s : all) {
    std::string conffiles = s.get("Conffiles");
    if (conffiles == "<missing>") continue;
    ++withConffiles;
    EXPECT_EQ(conffiles.front(), '\n') << s.get("Package");
    // The field before it keeps its own value: no conffile line leaks into it.
    for (auto& f : s.fields) {
      if (f.first == "Conffiles") continue;
      EXPECT_EQ(f.second.find(" /"), std::string::npos) << f.first;
    }
  }
  EXPECT_EQ(withConffiles, 7u);
}

TEST(StanzaReader, DebianIndexStreamsInBoundedMemory) {
  QB_TESTDATA_OR_SKIP(xz, "debian/bookworm-main-amd64-Packages.xz");
  TempDir dir;
  std::string index = dir.file("Packages");
  std::string cmd = "xz -dc '" + xz + "' > '" + index + "'";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  LineCounts expected = countLines(index);
  ASSERT_EQ(expected.packages, 63440u);

  KVStanzaReader reader(index);
  ASSERT_TRUE(reader.isOpen());
  KVStanza stanza;
  size_t stanzas = 0, continuations = 0, peak = 0, largestStanza = 0;
  while (reader.next(stanza)) {
    ++stanzas;
    continuations += lineFeedsInValues(stanza);
    peak = std::max(peak, reader.retainedBytes() + stanza.retainedBytes());
    size_t bytes = 0;
    for (auto f : stanza) bytes += f.name.size() + f.value.size();
    largestStanza = std::max(largestStanza, bytes);
  }
  EXPECT_FALSE(reader.failed());
  EXPECT_EQ(stanzas, 63440u);
  EXPECT_EQ(continuations, expected.continuations);
  // About one read block plus the largest stanza: never the 50 MB of the file.
  EXPECT_LE(peak, 2 * KVStanzaReader::kBlockSize + 4 * largestStanza + 4096);
  EXPECT_LT(peak, size_t{2} << 20);
}

}  // namespace

namespace {

// The word-at-a-time line scan against a byte-by-byte one, on lines whose line feed,
// colons and high bytes fall on every position around the word boundaries.
TEST(StanzaReader, LineScanMatchesAByteByByteScan) {
  std::mt19937 rng(42);
  const char alphabet[] = {'a', 'b', ':', ' ', '\xC3', '\xA9', '\n', '\t'};
  for (int round = 0; round < 20000; ++round) {
    size_t n = rng() % 80;
    std::string bytes(n + KVLineScan::kPadding, '\n');  // padding full of line feeds: must be ignored
    for (size_t i = 0; i < n; ++i) bytes[i] = alphabet[rng() % sizeof alphabet];
    size_t split = n ? rng() % (n + 1) : 0;  // scanned in two parts, as across buffer refills
    KVLineScan scan;
    bool found = scan.resume(bytes.data(), split) || scan.resume(bytes.data(), n);

    size_t nl = std::string_view(bytes.data(), n).find('\n');
    std::string_view line(bytes.data(), nl == std::string_view::npos ? n : nl);
    ASSERT_EQ(found, nl != std::string_view::npos) << round;
    if (found) {
      ASSERT_EQ(scan.newline, nl) << round;
    }
    size_t colon = line.find(':');
    ASSERT_EQ(scan.colon, colon == std::string_view::npos ? KVLineScan::npos : colon) << round;
    bool ascii = std::none_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    ASSERT_EQ(scan.ascii, ascii) << round;
  }
}

}  // namespace
