#include "foundation/Files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <sys/stat.h>
#include <sys/time.h>

#include <string>
#include <thread>
#include <vector>

#include "support/TempDir.h"

namespace {

TEST(Files, WriteAtomicallyReplacesContentAndLeavesNoTemporaryFiles) {
  TempDir dir;
  std::string path = dir.file("status");
  ASSERT_TRUE(Files::writeAtomically(path, std::string("first version, rather long\n")));
  ASSERT_TRUE(Files::writeAtomically(path, std::string("second\n")));
  EXPECT_EQ(Files::readText(path), "second\n");
  Data binary{0, 1, 2, 0, 255};
  ASSERT_TRUE(Files::writeAtomically(path, binary));
  EXPECT_EQ(Files::read(path), binary);
  ASSERT_TRUE(Files::writeAtomically(dir.file("empty"), std::string()));
  EXPECT_EQ(Files::read(dir.file("empty")), Data{});
  EXPECT_EQ(Files::contentsOfDirectory(dir.path()), (std::vector<std::string>{"empty", "status"}));
}

TEST(Files, ConcurrentAtomicWritesNeverLeaveAMixedFile) {
  TempDir dir;
  std::string path = dir.file("shared");
  std::string a(64 * 1024, 'a'), b(32 * 1024, 'b');
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t)
    writers.emplace_back([&, t] {
      for (int i = 0; i < 10; ++i) EXPECT_TRUE(Files::writeAtomically(path, t % 2 ? a : b));
    });
  for (auto& w : writers) w.join();
  auto text = Files::readText(path);
  ASSERT_TRUE(text);
  EXPECT_TRUE(*text == a || *text == b);
  EXPECT_EQ(Files::contentsOfDirectory(dir.path()), (std::vector<std::string>{"shared"}));
}

TEST(Files, WriteAtomicallyKeepsTheRequestedModeWhateverTheUmask) {
  TempDir dir;
  mode_t old = umask(0077);
  bool ok = Files::writeAtomically(dir.file("public"), std::string("x"), nullptr, 0644);
  umask(old);
  ASSERT_TRUE(ok);
  struct stat st;
  ASSERT_EQ(stat(dir.file("public").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
  ASSERT_TRUE(Files::writeAtomically(dir.file("script"), std::string("#!/bin/sh\n"), nullptr, 0755));
  ASSERT_EQ(stat(dir.file("script").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0755u);
}

TEST(Files, FailedWritesReportAnErrorAndLeaveNothingBehind) {
  TempDir dir;
  std::string error;
  EXPECT_FALSE(Files::writeAtomically(dir.file("missing/folder/file"), std::string("x"), &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(Files::exists(dir.file("missing")));

  // A folder in the way: the rename fails and the temporary file is removed.
  ASSERT_TRUE(Files::createDirectories(dir.file("taken/inner")));
  error.clear();
  EXPECT_FALSE(Files::writeAtomically(dir.file("taken"), std::string("x"), &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(Files::contentsOfDirectory(dir.path()), (std::vector<std::string>{"taken"}));
  EXPECT_TRUE(Files::isDirectory(dir.file("taken/inner")));
}

// A file put in its place before its writer is done: readers see it at once, and a
// writer that then fails puts back the file it replaced (or none, where there was none),
// with nothing left beside it.
TEST(Files, AFilePlacedEarlyStaysOnlyIfItsWriterSucceeds) {
  TempDir dir;
  int folder = ::open(dir.path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(folder, 0);
  auto write = [&](const std::string& name, const std::string& text, bool succeed) {
    return Files::writeAtomicallyPlacingAt(folder, name, [&](int fd, std::string* error, const Files::PlaceNow& placeNow) {
      if (!Files::writeAll(fd, reinterpret_cast<const uint8_t*>(text.data()), text.size(), error)) return false;
      EXPECT_TRUE(placeNow(error)) << *error;
      EXPECT_EQ(Files::readText(dir.file(name)), text) << "in place before the writer answers";
      if (!succeed && error) *error = "the records could not be written";
      return succeed;
    });
  };
  ASSERT_TRUE(Files::writeAtomically(dir.file("list"), std::string("old\n")));
  struct stat before {};
  ASSERT_EQ(::stat(dir.file("list").c_str(), &before), 0);
  EXPECT_FALSE(write("list", "new\n", false));
  EXPECT_EQ(Files::readText(dir.file("list")), "old\n");
  struct stat after {};
  ASSERT_EQ(::stat(dir.file("list").c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino) << "the very file it replaced, with its dates";
  EXPECT_FALSE(write("fresh", "new\n", false));
  EXPECT_FALSE(Files::exists(dir.file("fresh")));
  EXPECT_TRUE(write("list", "new\n", true));
  EXPECT_EQ(Files::readText(dir.file("list")), "new\n");
  EXPECT_EQ(Files::contentsOfDirectory(dir.path()), (std::vector<std::string>{"list"}));
  ::close(folder);
}

TEST(Files, ReadingMissingFilesAndFoldersGivesNothing) {
  TempDir dir;
  EXPECT_FALSE(Files::read(dir.file("nope")));
  EXPECT_FALSE(Files::readText(dir.file("nope")));
  EXPECT_FALSE(Files::read(dir.path()));
  EXPECT_FALSE(Files::modificationDate(dir.file("nope")));
  EXPECT_FALSE(Files::fileSize(dir.file("nope")));
  EXPECT_TRUE(Files::contentsOfDirectory(dir.file("nope")).empty());
}

TEST(Files, ModificationDateAndSizeComeFromTheFile) {
  TempDir dir;
  std::string path = dir.file("data.bin");
  ASSERT_TRUE(Files::writeAtomically(path, Data(1234, 7)));
  EXPECT_EQ(Files::fileSize(path), 1234u);
  struct timeval times[2] = {{1600000000, 0}, {1600000000, 250000}};
  ASSERT_EQ(utimes(path.c_str(), times), 0);
  auto date = Files::modificationDate(path);
  ASSERT_TRUE(date);
  EXPECT_NEAR(date->unixSeconds(), 1600000000.25, 1e-6);
  EXPECT_NEAR(date->seconds, 1600000000.25 - Date::kUnixToReference, 1e-6);
}

TEST(Files, FolderOperations) {
  TempDir dir;
  EXPECT_TRUE(Files::createDirectories(dir.file("a/b/c")));
  EXPECT_TRUE(Files::createDirectories(dir.file("a/b/c")));  // already there
  ASSERT_TRUE(Files::writeAtomically(dir.file("a/b/c/f.txt"), std::string("hello")));
  ASSERT_TRUE(Files::writeAtomically(dir.file("a/x.txt"), std::string("x")));
  EXPECT_FALSE(Files::createDirectories(dir.file("a/x.txt/sub")));  // a file in the way

  EXPECT_TRUE(Files::copyItem(dir.file("a"), dir.file("copy")));
  EXPECT_EQ(Files::readText(dir.file("copy/b/c/f.txt")), "hello");
  EXPECT_TRUE(Files::moveItem(dir.file("copy"), dir.file("moved")));
  EXPECT_FALSE(Files::exists(dir.file("copy")));
  EXPECT_EQ(Files::contentsOfDirectory(dir.file("moved")), (std::vector<std::string>{"b", "x.txt"}));
  EXPECT_FALSE(Files::moveItem(dir.file("nothing"), dir.file("elsewhere")));

  EXPECT_TRUE(Files::removeItem(dir.file("moved")));
  EXPECT_FALSE(Files::exists(dir.file("moved")));
  EXPECT_FALSE(Files::removeItem(dir.file("moved")));
  EXPECT_TRUE(Files::removeItem(dir.file("a/x.txt")));

  // A dangling link still exists as an item.
  ASSERT_EQ(symlink("nowhere", dir.file("link").c_str()), 0);
  EXPECT_TRUE(Files::exists(dir.file("link")));
  EXPECT_FALSE(Files::isDirectory(dir.file("link")));
}

TEST(Files, PathHelpers) {
  EXPECT_EQ(Files::lastPathComponent("/var/lib/dpkg/status"), "status");
  EXPECT_EQ(Files::lastPathComponent("/var/lib/dpkg/"), "dpkg");
  EXPECT_EQ(Files::lastPathComponent("name"), "name");
  EXPECT_EQ(Files::lastPathComponent("/"), "/");
  EXPECT_EQ(Files::lastPathComponent(""), "");

  EXPECT_EQ(Files::deletingLastPathComponent("/var/lib/dpkg/status"), "/var/lib/dpkg");
  EXPECT_EQ(Files::deletingLastPathComponent("/var/lib/dpkg/"), "/var/lib");
  EXPECT_EQ(Files::deletingLastPathComponent("/var"), "/");
  EXPECT_EQ(Files::deletingLastPathComponent("/"), "/");
  EXPECT_EQ(Files::deletingLastPathComponent("name"), "");

  EXPECT_EQ(Files::appendingPathComponent("/var", "lib"), "/var/lib");
  EXPECT_EQ(Files::appendingPathComponent("/var/", "/lib"), "/var/lib");
  EXPECT_EQ(Files::appendingPathComponent("", "lib"), "lib");
  EXPECT_EQ(Files::appendingPathComponent("/", "etc"), "/etc");

  EXPECT_EQ(Files::pathExtension("/tmp/archive.tar.gz"), "gz");
  EXPECT_EQ(Files::pathExtension("/tmp/Packages"), "");
  EXPECT_EQ(Files::pathExtension("/tmp/.hidden"), "");
  EXPECT_EQ(Files::pathExtension("/tmp/dir.d/file"), "");
  EXPECT_EQ(Files::pathExtension("icon.png/"), "png");
}

}  // namespace
