// The update badge on real data nobody here wrote: a real device's dpkg status imported,
// a real repository with newer versions of some of its packages refreshed from
// 127.0.0.1, then the category rows rebuilt. The badge counts the packages with an
// update that are not held.
#include "core/NSDataCompression.h"
#include "database/KVParsingUtility.h"
#include "database/KVRPackageListCaches.h"
#include "database/KVRPackages.h"
#include "support/Latch.h"
#include "support/SourceRefreshFixture.h"
#include "support/TestData.h"
#include "system/DeviceRoot.h"

namespace {

class UpdateBadgeRoad : public SourceRefreshFixture {
 protected:
  void SetUp() override {
    SourceRefreshFixture::SetUp();
    root = std::make_unique<TestRoot>(TestRoot::WithManagers{});
  }
  void importStatus() {
    Latch done;
    KVParsingUtility::checkStatusFileWithCompletion([&](ErrorRef error) {
      EXPECT_EQ(error, nullptr);
      done.arrive();
    });
    ASSERT_TRUE(done.wait(60));
  }
  static size_t count(const std::string& predicate) { return KVRPackage::objectsWhere(predicate).count(); }
};

TEST_F(UpdateBadgeRoad, TheBadgeCountsTheUpdatablePackagesThatAreNotHeld) {
  QB_TESTDATA_OR_SKIP(dpkg, "dpkg/ios15-rootless/Library/dpkg");
  QB_TESTDATA_OR_SKIP(procursus, "repos/procursus-mirror");
  // The device holds one of the four packages the repository has newer versions of.
  std::string status = Files::readText(dpkg + "/status").value_or("");
  size_t at = status.find("Status: install ok installed", status.find("Package: launchctl\n"));
  ASSERT_NE(at, std::string::npos);
  status.replace(at, 14, "Status: hold");
  ASSERT_TRUE(Files::writeAtomically(DeviceRoot::devicePath("/var/lib/dpkg/status"), status));
  importStatus();
  ASSERT_EQ(count("isInstalled = 1 AND identifier IN {'ca-certificates', 'launchctl', 'libiosexec1', 'uikittools'}"), 4u);

  std::string location = locationOf("procursus");
  for (const char* name : {"Release", "Packages"})
    ASSERT_TRUE(Files::copyItem(procursus + "/" + name, repositories.file("procursus") + "/" + name));
  ASSERT_TRUE(refresh(location));
  ASSERT_GT(packagesOf(location).size(), 100u);

  root->packagesManager->rebuildPackagesCategoriesCache();
  DispatchQueue::drainGlobalQueues();
  RunLoop::main().runUntilIdle();
  // Four newer versions of installed packages, and the repository's essential package
  // that the device lacks (offered as an update too).
  EXPECT_EQ(count("isUpdated = 1 AND identifier IN {'ca-certificates', 'launchctl', 'libiosexec1', 'uikittools', "
                  "'roothide'}"),
            5u);
  EXPECT_EQ(count("isUpdated = 1"), 5u);
  ASSERT_FALSE(root->updateCounts().empty());
  EXPECT_EQ(root->updateCounts().back(), 4u) << "five updatable, one of them held";
  auto rows = root->packagesManager->caches()->arrayOfPackagesCategories();
  ASSERT_TRUE(rows && rows->size() > 5);
  EXPECT_EQ((*rows)[2], "Updated Packages (4)");
  // The refresh is the newest date group, so the new row counts its packages.
  auto grouping = root->packagesManager->caches()->newPackages();
  ASSERT_TRUE(grouping && !grouping->dates.empty());
  EXPECT_EQ((*rows)[3], "New Packages (" + std::to_string(grouping->identifiersByDate.at(grouping->dates.front()).size()) + ")");
}

}  // namespace
