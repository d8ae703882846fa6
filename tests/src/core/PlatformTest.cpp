#include <gtest/gtest.h>
#include <unistd.h>

#include "core/KVPlatform.h"
#include "core/NSFileManagerKorvaleExtensions.h"
#include "foundation/Files.h"
#include "support/HostMarker.h"
#include "support/ScopedDeviceRoot.h"
#include "support/TempDir.h"
#include "system/DeviceRoot.h"
#include "system/DeviceRootBuilder.h"

namespace {
class PlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DeviceFacts facts;
    facts.model = "iPad8,1";
    facts.systemVersion = "13.5";
    DeviceRootBuilder::build(root.path(), facts);
    KVPlatform::resetCaches();
  }
  void mark(const std::string& name) { Files::writeAtomically(root.path() + name, std::string()); }
  ScopedDeviceRoot root;
};

TEST_F(PlatformTest, FactsComeFromTheDeviceRoot) {
  EXPECT_EQ(KVPlatform::firmwareVersion(), "13.5");
  EXPECT_EQ(KVPlatform::deviceModelID(), "iPad8,1");
  EXPECT_EQ(KVPlatform::platformName(), "iPad");
  std::string uuid = KVPlatform::deviceUUID();
  EXPECT_EQ(uuid.size(), 36u);
  EXPECT_EQ(uuid, KVPlatform::deviceUUID());
  for (char c : uuid) EXPECT_FALSE(islower(static_cast<unsigned char>(c)));
  EXPECT_FALSE(KVPlatform::isDeviceRootLocked());
}

TEST_F(PlatformTest, ARootWhoseLibraryLeadsOutIsTakenForLockedAndLeftUntouched) {
  HostMarker marker;
  ASSERT_TRUE(Files::moveItem(root.path() + "/Library", root.path() + "/Library.kept"));
  ASSERT_EQ(::symlink(marker.path().c_str(), (root.path() + "/Library").c_str()), 0);
  EXPECT_TRUE(KVPlatform::isDeviceRootLocked());
  EXPECT_EQ(marker.changes(), "");
}

TEST_F(PlatformTest, MissingFactsFallBackToADeviceNotTheHost) {
  Files::removeItem(root.path() + DeviceRoot::kSystemVersionPlist);
  Files::removeItem(root.path() + DeviceRoot::kDeviceFactsFile);
  EXPECT_EQ(KVPlatform::firmwareVersion(), "14.4");
  EXPECT_EQ(KVPlatform::deviceModelID().rfind("iPhone", 0), 0u);
}

TEST_F(PlatformTest, JailbreakMarkersDecideInTheirOrder) {
  EXPECT_EQ(KVPlatform::jailbreakTool(), 0);
  mark("/.bootstrapped");
  EXPECT_EQ(KVPlatform::jailbreakTool(), 4);
  mark("/chimera");
  EXPECT_EQ(KVPlatform::jailbreakTool(), 2);
  mark("/.installed_unc0ver");
  EXPECT_EQ(KVPlatform::jailbreakTool(), 2);
  mark("/electra");
  EXPECT_EQ(KVPlatform::jailbreakTool(), 3);
}

TEST(FileManagerExtensionsTest, HashPathAndRemoval) {
  TempDir dir;
  Files::writeAtomically(dir.file("f"), std::string("abc"));
  EXPECT_EQ(NSFileManagerKorvaleExtensions::fileHashAtPath(dir.file("f")), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_FALSE(NSFileManagerKorvaleExtensions::fileHashAtPath(dir.file("none")));
  EXPECT_TRUE(NSFileManagerKorvaleExtensions::createPath(dir.path() + "/a/b/c"));
  EXPECT_TRUE(Files::isDirectory(dir.path() + "/a/b/c"));
  EXPECT_TRUE(NSFileManagerKorvaleExtensions::removeItemIfExistsAtPath(dir.path() + "/a"));
  EXPECT_TRUE(NSFileManagerKorvaleExtensions::removeItemIfExistsAtPath(dir.path() + "/a"));
}
}  // namespace
