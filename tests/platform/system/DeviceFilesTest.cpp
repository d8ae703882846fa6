// Writes below the device root never follow a link out of it.
#include "system/DeviceFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "foundation/Files.h"
#include "support/HostMarker.h"
#include "support/ScopedDeviceRoot.h"
#include "support/TempDir.h"

namespace {
void link(const std::string& target, const std::string& at) {
  Files::createDirectories(Files::deletingLastPathComponent(at));
  ASSERT_EQ(::symlink(target.c_str(), at.c_str()), 0) << at;
}

bool isLink(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

class DeviceFilesTest : public ::testing::Test {
 protected:
  std::string at(const std::string& devicePath) const { return root.path() + devicePath; }
  ScopedDeviceRoot root;
  HostMarker marker;
};
}  // namespace

TEST_F(DeviceFilesTest, AFoldersAbsoluteLinkIsRefusedForEveryWrite) {
  // A package's folder link to the host, as dpkg leaves it in the root.
  link(marker.path(), at("/var/mobile/Library/Caches"));
  const std::string inside = at("/var/mobile/Library/Caches/me.korvale.quillbark");

  std::string error;
  EXPECT_FALSE(DeviceFiles::createFolders(inside + "/Icons", &error));
  EXPECT_NE(error.find("is a link out of the device root"), std::string::npos) << error;
  EXPECT_FALSE(DeviceFiles::createFolder(at("/var/mobile/Library/Caches/x")));
  EXPECT_FALSE(DeviceFiles::writeAtomically(at("/var/mobile/Library/Caches/marker"), std::string("pwned")));
  EXPECT_FALSE(DeviceFiles::writeAtomically(at("/var/mobile/Library/Caches/new"), std::string("pwned")));
  EXPECT_LT(DeviceFiles::openFile(at("/var/mobile/Library/Caches/log"), O_WRONLY | O_CREAT | O_APPEND), 0);
  EXPECT_FALSE(DeviceFiles::removeItem(at("/var/mobile/Library/Caches/marker")));
  TempDir elsewhere;
  ASSERT_TRUE(Files::writeAtomically(elsewhere.file("download"), std::string("deb")));
  EXPECT_FALSE(DeviceFiles::copyFile(elsewhere.file("download"), at("/var/mobile/Library/Caches/copy")));
  EXPECT_FALSE(DeviceFiles::moveFile(elsewhere.file("download"), at("/var/mobile/Library/Caches/moved")));
  EXPECT_TRUE(Files::exists(elsewhere.file("download")));
  EXPECT_EQ(marker.changes(), "");

  // A relative link that climbs above the root is refused too.
  link("../../../../../../../../../../.." + marker.path(), at("/var/mobile/Documents"));
  EXPECT_FALSE(DeviceFiles::writeAtomically(at("/var/mobile/Documents/new"), std::string("pwned"), &error));
  EXPECT_NE(error.find("leads out of the device root"), std::string::npos) << error;
  EXPECT_EQ(marker.changes(), "");
}

TEST_F(DeviceFilesTest, AFilesOwnLinkIsReplacedNeverWrittenThrough) {
  ASSERT_TRUE(DeviceFiles::createFolders(at("/var/mobile/Library/Preferences")));
  const std::string plist = at("/var/mobile/Library/Preferences/me.korvale.quillbark.plist");
  link(marker.file("marker"), plist);
  EXPECT_LT(DeviceFiles::openFile(plist, O_WRONLY | O_APPEND), 0);
  ASSERT_TRUE(DeviceFiles::writeAtomically(plist, std::string("<plist/>")));
  EXPECT_FALSE(isLink(plist));
  EXPECT_EQ(Files::readText(plist), "<plist/>");

  // Removing a folder removes the links in it, not what they point at.
  link(marker.path(), at("/var/mobile/Library/Preferences/folder-link"));
  link(marker.file("marker"), at("/var/mobile/Library/Preferences/file-link"));
  EXPECT_TRUE(DeviceFiles::removeItem(at("/var/mobile/Library")));
  EXPECT_FALSE(Files::exists(at("/var/mobile/Library")));
  EXPECT_EQ(marker.changes(), "");
}

TEST_F(DeviceFilesTest, ALinkThatStaysInsideTheRootIsFollowed) {
  // As the device's "Library/dpkg" names "var/lib/dpkg".
  ASSERT_TRUE(DeviceFiles::createFolders(at("/var/lib/dpkg/info")));
  link("../var/lib/dpkg", at("/Library/dpkg"));
  ASSERT_TRUE(DeviceFiles::writeAtomically(at("/Library/dpkg/info/x.list"), std::string("/x\n")));
  EXPECT_EQ(Files::readText(at("/var/lib/dpkg/info/x.list")), "/x\n");
  ASSERT_TRUE(DeviceFiles::createFolders(at("/Library/dpkg/updates/new")));
  EXPECT_TRUE(Files::isDirectory(at("/var/lib/dpkg/updates/new")));

  // Missing parents are made; a folder that exists is fine; a file in the way is not.
  EXPECT_TRUE(DeviceFiles::createFolders(at("/var/mobile/Library/Logs/me.korvale.quillbark")));
  EXPECT_TRUE(DeviceFiles::createFolder(at("/var/mobile/Library/Logs/me.korvale.quillbark")));
  EXPECT_FALSE(DeviceFiles::createFolder(at("/var/mobile/Missing/Child")));
  ASSERT_TRUE(DeviceFiles::writeAtomically(at("/var/mobile/file"), std::string("x")));
  EXPECT_FALSE(DeviceFiles::createFolders(at("/var/mobile/file/below")));
  EXPECT_TRUE(DeviceFiles::removeItem(at("/var/mobile/never/was")));
}

TEST_F(DeviceFilesTest, PathsOutsideTheRootArePlainPaths) {
  TempDir elsewhere;
  ASSERT_TRUE(DeviceFiles::createFolders(elsewhere.path() + "/a/b"));
  ASSERT_TRUE(DeviceFiles::writeAtomically(elsewhere.path() + "/a/b/c", std::string("plain")));
  EXPECT_EQ(Files::readText(elsewhere.path() + "/a/b/c"), "plain");
  ASSERT_TRUE(DeviceFiles::moveFile(elsewhere.path() + "/a/b/c", at("/moved")));
  EXPECT_EQ(Files::readText(at("/moved")), "plain");
  EXPECT_TRUE(DeviceFiles::removeItem(elsewhere.path() + "/a"));
  EXPECT_FALSE(Files::exists(elsewhere.path() + "/a"));
}

TEST_F(DeviceFilesTest, AFileWrittenOnlyWhenItsBytesOrPermissionsDiffer) {
  ASSERT_TRUE(DeviceFiles::createFolders(at("/etc/quillbark")));
  const std::string path = at("/etc/quillbark/apt.conf");
  auto inode = [&] {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_ino : ino_t(0);
  };
  ASSERT_TRUE(DeviceFiles::writeIfChanged(path, "Dir \"/\";\n"));
  const ino_t first = inode();
  // The same bytes and permissions: left as it is (a rewrite would be a new file).
  ASSERT_TRUE(DeviceFiles::writeIfChanged(path, "Dir \"/\";\n"));
  EXPECT_EQ(inode(), first);
  // Other bytes of the same length, other permissions, a file grown longer: written again.
  ASSERT_TRUE(DeviceFiles::writeIfChanged(path, "Dir \"/x\";\n"));
  EXPECT_EQ(Files::readText(path), "Dir \"/x\";\n");
  ASSERT_TRUE(DeviceFiles::writeIfChanged(path, "Dir \"/x\";\n", nullptr, 0755));
  struct stat st {};
  ASSERT_EQ(::lstat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0755u);
  ASSERT_TRUE(Files::writeAtomically(path, std::string("Dir \"/x\";\nmore")));
  ASSERT_TRUE(DeviceFiles::Tree(root.path()).writeIfChanged("/etc/quillbark/apt.conf", "Dir \"/x\";\n", nullptr, 0755));
  EXPECT_EQ(Files::readText(path), "Dir \"/x\";\n");
  // A link with the name, even to a file of the same bytes, is replaced, never followed.
  const std::string hostText = Files::readText(marker.file("marker")).value_or("");
  ::unlink(path.c_str());
  link(marker.file("marker"), path);
  ASSERT_TRUE(DeviceFiles::writeIfChanged(path, hostText, nullptr, 0644));
  EXPECT_FALSE(isLink(path));
  EXPECT_EQ(Files::readText(path), hostText);
  EXPECT_EQ(marker.changes(), "");
}

// What the application keeps below the root is put back as its own, whatever a package
// left there: a link even within the root, a named pipe, a file where a folder belongs.
TEST_F(DeviceFilesTest, TheApplicationsOwnEntriesArePutBackAndSaidSo) {
  ASSERT_TRUE(Files::createDirectories(at("/own/kept")));
  link("../kept", at("/own/folder"));
  ASSERT_TRUE(Files::writeAtomically(at("/own/file"), std::string("x")));
  ASSERT_EQ(::mkfifo(at("/own/pipe").c_str(), 0644), 0);
  link(marker.path(), at("/own/kept/host"));
  ASSERT_TRUE(Files::writeAtomically(at("/own/kept/data"), std::string("kept")));

  std::string repair;
  ASSERT_TRUE(DeviceFiles::makeOwnFolder(at("/own/folder"), &repair));
  EXPECT_EQ(repair, "/own/folder was a link to ../kept; it is a folder again");
  EXPECT_FALSE(isLink(at("/own/folder")));
  ASSERT_TRUE(DeviceFiles::makeOwnFolder(at("/own/file"), &repair));
  EXPECT_EQ(repair, "/own/file was a file; it is a folder again");
  ASSERT_TRUE(DeviceFiles::makeOwnFolder(at("/own/kept"), &repair));
  EXPECT_EQ(repair, "") << "a folder stays";
  ASSERT_TRUE(DeviceFiles::clearForOwnFile(at("/own/pipe"), &repair));
  EXPECT_EQ(repair, "/own/pipe was a named pipe; it is removed");
  EXPECT_FALSE(Files::exists(at("/own/pipe")));
  ASSERT_TRUE(DeviceFiles::clearForOwnFile(at("/own/kept/data"), &repair));
  EXPECT_EQ(repair, "") << "a file stays";

  std::vector<std::string> repairs;
  DeviceFiles::removeForeignEntries(at("/own"), repairs);
  EXPECT_EQ(repairs, std::vector<std::string>{"/own/kept/host was a link to " + marker.path() + "; it is removed"});
  EXPECT_EQ(Files::readText(at("/own/kept/data")), "kept");
  EXPECT_EQ(marker.changes(), "");
}
