#include <gtest/gtest.h>

#include "app/PackagesManagerStandIn.h"
#include "database/KVDatabaseMigrationUtility.h"
#include "database/KVRPackage.h"
#include "operations/KVAPTManager.h"
#include "store/Store.h"
#include "support/DeviceRootFixture.h"

namespace {
// Until the packages manager exists, the pipeline's after-install step still reads the
// APT queue and the records: an installed tweak's respring is not lost for want of wiring.
class PackagesManagerStandInTest : public DeviceRootFixture {
 protected:
  void TearDown() override {
    store::Database::deleteFiles(KVDatabaseMigrationUtility::databasePath());
    store::Database::setDefaultConfiguration({});
    DeviceRootFixture::TearDown();
  }
};

TEST_F(PackagesManagerStandInTest, TheQueueAndInstallInformationComeFromTheAPTLayerAndTheRecords) {
  ASSERT_TRUE(KVDatabaseMigrationUtility::migrateDatabaseForced(false, nullptr));
  KVRPackage tweak;
  tweak.setIdentifier("com.example.tweak");
  tweak.setPostinstallaction(std::string("respring"));
  tweak.setInstalledFiles({"/Library/MobileSubstrate/DynamicLibraries/Tweak.dylib"});
  auto db = store::Database::defaultDatabase();
  db->write([&] { db->add(tweak.toObject()); });
  KVAPTManager::setQueue("com.example.tweak com.example.gone-");

  PackagesManagerStandIn packages;
  EXPECT_EQ(packages.aptQueueIdentifiers(), (std::vector<std::string>{"com.example.tweak", "com.example.gone"}));
  auto info = packages.packageInstallInfo("com.example.tweak");
  ASSERT_TRUE(info);
  EXPECT_EQ(info->postInstallAction, "respring");
  EXPECT_EQ(info->installedFiles, std::vector<std::string>{"/Library/MobileSubstrate/DynamicLibraries/Tweak.dylib"});
  EXPECT_FALSE(packages.packageInstallInfo("com.example.gone"));
}
}  // namespace
