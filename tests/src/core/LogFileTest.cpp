#include <gtest/gtest.h>
#include <sys/stat.h>

#include "core/KVLogFile.h"
#include "foundation/Files.h"
#include "support/TempDir.h"

namespace {
std::string lines(int from, int count) {
  std::string s;
  for (int i = from; i < from + count; ++i) s += "line " + std::to_string(i) + "\n";
  return s;
}

TEST(LogFileTest, FiveThousandLinesAreCutToTheLastFourThousandPieces) {
  TempDir dir;
  std::string path = dir.file("quillbark.log");
  Files::writeAtomically(path, lines(1, 5000));
  EXPECT_TRUE(KVLogFile::trimLogFile(path));
  auto text = Files::readText(path);
  ASSERT_TRUE(text);
  // The last of the 4000 pieces is the empty piece after the final line feed.
  EXPECT_EQ(*text, lines(1002, 3999).substr(0, lines(1002, 3999).size()));
  EXPECT_EQ(std::count(text->begin(), text->end(), '\n'), 3999);
  EXPECT_EQ(text->rfind("line 5000\n"), text->size() - 10);
}

TEST(LogFileTest, FourThousandNineHundredNinetyNineLinesAreLeftAlone) {
  TempDir dir;
  std::string path = dir.file("quillbark.log");
  Files::writeAtomically(path, lines(1, 4999));
  auto before = Files::modificationDate(path);
  EXPECT_FALSE(KVLogFile::trimLogFile(path));
  EXPECT_EQ(*Files::readText(path), lines(1, 4999));
  EXPECT_EQ(before, Files::modificationDate(path));
}

TEST(LogFileTest, InvalidUTF8IsNotTrimmed) {
  TempDir dir;
  std::string path = dir.file("quillbark.log");
  std::string text = lines(1, 6000) + "\xff\xfe\n";
  Files::writeAtomically(path, text);
  EXPECT_FALSE(KVLogFile::trimLogFile(path));
  EXPECT_EQ(*Files::readText(path), text);
}
// A package can write the log, or leave something else in its place: a log of
// gigabytes is read no further back than its last lines (one long line in front of them
// here), and a named pipe is not waited for.
TEST(LogFileTest, OnlyTheEndOfAHugeLogIsReadAndAPipeIsNotWaitedFor) {
  TempDir dir;
  std::string path = dir.file("quillbark.log");
  Files::writeAtomically(path, std::string(20 << 20, 'x') + "\n" + lines(1, 10));
  EXPECT_TRUE(KVLogFile::trimLogFile(path));
  EXPECT_EQ(Files::readText(path), lines(1, 10));
  ASSERT_TRUE(Files::removeItem(path));
  ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
  EXPECT_FALSE(KVLogFile::trimLogFile(path));
}
}  // namespace
