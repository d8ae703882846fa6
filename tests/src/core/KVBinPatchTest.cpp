#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "core/KVBinPatch.h"
#include "foundation/Files.h"
#include "support/ScopedDeviceRoot.h"
#include "support/TempDir.h"
#include "system/DeviceRoot.h"

using namespace std::string_literals;

namespace {

std::string readFile(const std::string& path) { return Files::readText(path).value_or(""); }

void writeFile(const std::string& path, const std::string& bytes, mode_t mode = 0644) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
  chmod(path.c_str(), mode);
}

mode_t modeOf(const std::string& path) {
  struct stat info {};
  stat(path.c_str(), &info);
  return info.st_mode & 07777;
}

}  // namespace

TEST(KVBinPatchTest, RewritesPrefixesInOrderAndKeepsPermissions) {
  TempDir dir;
  const std::string file = dir.file("tweak.dylib");
  writeFile(file, "\x01/Library/MobileSubstrate/x\0/System/Library/Frameworks\0/Applications/A.app\0"
                  "/usr/lib/libsubstrate/s.dylib"s,
            0751);
  ASSERT_TRUE(KVBinPatch::patchFileAtURL(file, KVBinPatch::hexTable()));
  EXPECT_EQ(readFile(file), "\x01/var/LIB/MobileSubstrate/x\0/System/Library/Frameworks\0/var/Apps/A.app\0"
                            "/var/ulb/libsubstrates.dylib"s);
  EXPECT_EQ(modeOf(file), 0751u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1)
      << "no temporary file is left beside it";
}

TEST(KVBinPatchTest, MatchAcrossByteBoundaryIsNoMatch) {
  TempDir dir;
  const std::string file = dir.file("blob");
  // Its hex text "12f4c6962726172792f0" holds the hex of "/Library/" at an odd offset.
  const std::string bytes = {0x12, '\xF4', '\xC6', '\x96', 0x27, 0x26, 0x17, 0x27, '\x92', '\xF0'};
  writeFile(file, bytes);
  ASSERT_TRUE(KVBinPatch::patchFileAtURL(file, KVBinPatch::hexTable()));
  EXPECT_EQ(readFile(file), bytes);
  EXPECT_FALSE(KVBinPatch::patchFileAtURL(dir.file("missing"), KVBinPatch::hexTable()));
}

TEST(KVBinPatchTest, WalksAFolderTree) {
  TempDir dir;
  writeFile(dir.file("a/b/one"), "/Library/x");
  writeFile(dir.file("two"), "/Applications/y");
  std::filesystem::create_symlink(dir.file("two"), dir.file("link"));
  EXPECT_TRUE(KVBinPatch::patchFilesInDirectory(dir.path()));
  EXPECT_EQ(readFile(dir.file("a/b/one")), "/var/LIB/x");
  EXPECT_EQ(readFile(dir.file("two")), "/var/Apps/y");
  EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link")));
  EXPECT_FALSE(KVBinPatch::patchFilesInDirectory(dir.file("nowhere")));
}

TEST(KVBinPatchTest, SignsExecutablesWithoutAShell) {
  TempDir dir;
  ScopedDeviceRoot device(dir.file("device"));
  const std::string log = dir.file("calls.log");
  // Stand-ins that record each argument on its own line.
  const std::string recorder = "#!/bin/sh\nfor a in \"$0\" \"$@\"; do echo \"$a\" >> '" + log + "'; done\n";
  writeFile(dir.file("tools/ldid2"),
            recorder + "[ \"$1\" = -e ] && printf '<plist/>'\nexit 0\n", 0755);
  writeFile(DeviceRoot::devicePath("/var/containers/Bundle/iosbinpack64/usr/bin/inject"), recorder, 0755);

  const std::string binary = dir.file("my tool; $(rm -rf x)");
  writeFile(binary, "binary", 0755);
  EXPECT_TRUE(KVBinPatch::isExecutable(binary));
  EXPECT_TRUE(KVBinPatch::signAndPatchFileAtURL(binary, dir.file("tools")));
  const std::string ldid = dir.file("tools/ldid2");
  const std::string inject = DeviceRoot::devicePath("/var/containers/Bundle/iosbinpack64/usr/bin/inject");
  EXPECT_EQ(readFile(log), ldid + "\n-e\n" + binary + "\n" + ldid + "\n-S" + binary + ".entitlements\n" + binary +
                               "\n" + inject + "\n" + binary + "\n");
  EXPECT_FALSE(std::filesystem::exists(binary + ".entitlements"));

  // A plain file is not signed.
  writeFile(dir.file("data"), "x", 0644);
  std::filesystem::remove(log);
  EXPECT_FALSE(KVBinPatch::isExecutable(dir.file("data")));
  EXPECT_TRUE(KVBinPatch::signAndPatchFileAtURL(dir.file("data"), dir.file("tools")));
  EXPECT_FALSE(std::filesystem::exists(log));

  // A failing signer fails the whole step.
  EXPECT_FALSE(KVBinPatch::signAndPatchFileAtURL(binary, dir.file("no-tools")));
}
