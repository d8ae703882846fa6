#include "system/DeviceRoot.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/Files.h"
#include "foundation/Value.h"
#include "support/ScopedDeviceRoot.h"
#include "support/TempDir.h"
#include "system/DeviceRootBuilder.h"
#include "system/DeviceRootParts.h"

namespace {

TEST(DeviceRoot, MapsAbsoluteDevicePathsIntoTheRoot) {
  ScopedDeviceRoot scoped("/tmp/qb-root/");
  EXPECT_EQ(DeviceRoot::root(), "/tmp/qb-root");  // kept without its trailing slash
  EXPECT_FALSE(DeviceRoot::isRealDevice());
  EXPECT_EQ(DeviceRoot::devicePath("/var/lib/dpkg/status"), "/tmp/qb-root/var/lib/dpkg/status");
  EXPECT_EQ(DeviceRoot::devicePath(DeviceRoot::kApplicationSupport),
            "/tmp/qb-root/var/mobile/Library/Application Support/Quillbark");
  EXPECT_EQ(DeviceRoot::devicePath("/"), "/tmp/qb-root/");
  // Relative and empty paths are not device paths.
  EXPECT_EQ(DeviceRoot::devicePath("relative/file"), "relative/file");
  EXPECT_EQ(DeviceRoot::devicePath(""), "");
  // A path already inside the root is not mapped twice, but a sibling that merely
  // shares the prefix is.
  EXPECT_EQ(DeviceRoot::devicePath("/tmp/qb-root/var/log"), "/tmp/qb-root/var/log");
  EXPECT_EQ(DeviceRoot::devicePath("/tmp/qb-root"), "/tmp/qb-root");
  EXPECT_EQ(DeviceRoot::devicePath("/tmp/qb-rootother/x"), "/tmp/qb-root/tmp/qb-rootother/x");
  EXPECT_EQ(DeviceRoot::devicePath(DeviceRoot::devicePath("/etc/apt")), "/tmp/qb-root/etc/apt");
}

TEST(DeviceRoot, DotSegmentsNeverClimbOutOfTheRoot) {
  // Such paths can come from package data (file lists, icon locations).
  ScopedDeviceRoot scoped("/tmp/qb-root");
  EXPECT_EQ(DeviceRoot::devicePath("/../../etc/passwd"), "/tmp/qb-root/etc/passwd");
  EXPECT_EQ(DeviceRoot::devicePath("/Applications/../../../home"), "/tmp/qb-root/home");
  EXPECT_EQ(DeviceRoot::devicePath("/var/./lib/dpkg/../dpkg/status"), "/tmp/qb-root/var/lib/dpkg/status");
  EXPECT_EQ(DeviceRoot::devicePath("/tmp/qb-root/../../etc"), "/tmp/qb-root/etc");
  EXPECT_EQ(DeviceRoot::devicePath("/var/mobile/.."), "/tmp/qb-root/var/");
  EXPECT_EQ(DeviceRoot::devicePath("/.."), "/tmp/qb-root/");
  EXPECT_EQ(DeviceRoot::devicePath("/var/.hidden/..name"), "/tmp/qb-root/var/.hidden/..name");
}

TEST(DeviceRoot, TheReverseMappingGivesDevicePathsBack) {
  ScopedDeviceRoot scoped("/tmp/qb-root");
  EXPECT_EQ(DeviceRoot::deviceRelative("/tmp/qb-root/var/lib/dpkg"), "/var/lib/dpkg");
  EXPECT_EQ(DeviceRoot::deviceRelative("/tmp/qb-root"), "/");
  EXPECT_EQ(DeviceRoot::deviceRelative("/tmp/qb-rootother/x"), "/tmp/qb-rootother/x");
  EXPECT_EQ(DeviceRoot::deviceRelative("/elsewhere"), "/elsewhere");
  for (const char* p : {"/var/mobile/Documents", "/etc/quillbark/device.json", "/"})
    EXPECT_EQ(DeviceRoot::deviceRelative(DeviceRoot::devicePath(p)), p);
}

TEST(DeviceRoot, TheHostRootIsTheIdentity) {
  for (const char* root : {"/", "", "///"}) {
    ScopedDeviceRoot scoped(root);
    EXPECT_TRUE(DeviceRoot::isRealDevice()) << root;
    EXPECT_EQ(DeviceRoot::root(), "");
    EXPECT_EQ(DeviceRoot::devicePath("/var/lib/dpkg/status"), "/var/lib/dpkg/status");
    EXPECT_EQ(DeviceRoot::devicePath("/"), "/");
    EXPECT_EQ(DeviceRoot::deviceRelative("/var/mobile"), "/var/mobile");
  }
}

TEST(DeviceRootLayout, BuildsAFolderLaidOutLikeADevice) {
  TempDir dir;
  const std::string root = dir.file("device");
  std::string error;
  ASSERT_TRUE(DeviceRootBuilder::build(root, {}, &error)) << error;
  ScopedDeviceRoot scoped(root);

  for (const char* folder : {DeviceRoot::kApplicationSupport, DeviceRoot::kPreferencesFolder, DeviceRoot::kCachesFolder,
                             DeviceRoot::kLogFolder, DeviceRoot::kDocumentsFolder, "/var/lib/dpkg/info",
                             "/etc/apt/sources.list.d", "/usr/libexec/quillbark"})
    EXPECT_TRUE(Files::isDirectory(DeviceRoot::devicePath(folder))) << folder;
  EXPECT_EQ(Files::readText(DeviceRoot::devicePath("/var/lib/dpkg/status")),
            DeviceRootParts::devicePackagesStatus({}));  // the device's own entries alone

  // dpkg's database answers under both of its names.
  ASSERT_TRUE(Files::writeAtomically(DeviceRoot::devicePath("/Library/dpkg/info/x.list"), std::string("/x\n")));
  EXPECT_EQ(Files::readText(DeviceRoot::devicePath("/var/lib/dpkg/info/x.list")), "/x\n");
  EXPECT_TRUE(Files::exists(DeviceRoot::devicePath("/Library/dpkg/status")));

  auto version = Value::fromPropertyListFile(DeviceRoot::devicePath(DeviceRoot::kSystemVersionPlist), &error);
  ASSERT_TRUE(version) << error;
  EXPECT_EQ((*version)["ProductVersion"].asString(), "14.4");
  EXPECT_FALSE((*version)["ProductName"].asString().empty());

  auto facts = Files::readText(DeviceRoot::devicePath(DeviceRoot::kDeviceFactsFile));
  ASSERT_TRUE(facts);
  auto json = Value::fromJSON(*facts);
  ASSERT_TRUE(json);
  EXPECT_EQ((*json)["model"].asString(), "iPhone10,3");
  EXPECT_EQ((*json)["cpuArchitecture"].asString(), "arm64");
}

TEST(DeviceRootLayout, ABuildIsIdempotentAndKeepsWhatWasChanged) {
  TempDir dir;
  const std::string root = dir.file("device");
  DeviceFacts facts;
  facts.systemVersion = "13.5";
  ASSERT_TRUE(DeviceRootBuilder::build(root, facts));
  const std::string status =
      "Package: base\nStatus: install ok installed\nVersion: 1\n\n" + DeviceRootParts::devicePackagesStatus(facts);
  ASSERT_TRUE(Files::writeAtomically(root + "/var/lib/dpkg/status", status));
  ASSERT_TRUE(Files::writeAtomically(root + "/var/mobile/Library/Preferences/p.plist", std::string("kept")));

  std::string error;
  ASSERT_TRUE(DeviceRootBuilder::build(root, {}, &error)) << error;
  EXPECT_EQ(Files::readText(root + "/var/lib/dpkg/status"), status);
  EXPECT_EQ(Files::readText(root + "/Library/dpkg/status"), status);
  EXPECT_EQ(Files::readText(root + "/var/mobile/Library/Preferences/p.plist"), "kept");
  auto version = Value::fromPropertyListFile(root + DeviceRoot::kSystemVersionPlist);
  ASSERT_TRUE(version);
  EXPECT_EQ((*version)["ProductVersion"].asString(), "13.5");  // the first build's version stays

  ASSERT_TRUE(DeviceRootBuilder::setSystemVersion(root, "15.0"));
  EXPECT_EQ((*Value::fromPropertyListFile(root + DeviceRoot::kSystemVersionPlist))["ProductVersion"].asString(), "15.0");
}

TEST(DeviceRootLayout, AFileInTheWayFailsWithAReason) {
  TempDir dir;
  const std::string root = dir.file("device");
  ASSERT_TRUE(Files::createDirectories(root));
  ASSERT_TRUE(Files::writeAtomically(root + "/var", std::string("not a folder")));
  std::string error;
  EXPECT_FALSE(DeviceRootBuilder::build(root, {}, &error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
