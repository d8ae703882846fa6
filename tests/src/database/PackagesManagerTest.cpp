// The packages manager on the application's database: the operation that queueing
// means, the queue state it writes and clears, the action button's title, the category
// lists and the removal of a package's cached images.
#include <gtest/gtest.h>

#include "foundation/Files.h"
#include "support/Latch.h"
#include "support/PackageRecordsFixture.h"
#include "system/DeviceRoot.h"

namespace {

class PackagesManagerTest : public PackageRecordsFixture {
 protected:
  int64_t storedOperation(const std::string& identifier) { return record(identifier)->queueOperation().value_or(-1); }
  // Queues with code 0 and answers the code stored.
  int64_t queueChoosing(const std::string& identifier, std::optional<std::string> version = std::nullopt) {
    EXPECT_EQ(packages().setPackage(identifier, true, version, KVQueueOperationChoose), nullptr);
    return storedOperation(identifier);
  }
};

TEST_F(PackagesManagerTest, QueueingResolvesTheOperationFromThePackagesState) {
  KVRPackage updatable = installed("com.example.updatable", "1.0");
  updatable.setIsUpdated(true);
  KVRPackage held = updatable;
  held.setIdentifier("com.example.held");
  held.setIsHeld(true);
  add(updatable);
  add(held);
  add(installed("com.example.current", "1.0"));
  add(package("com.example.new"));

  EXPECT_EQ(queueChoosing("com.example.updatable"), KVQueueOperationUpgrade);
  EXPECT_EQ(queueChoosing("com.example.held"), KVQueueOperationRemove) << "a held update is not taken";
  EXPECT_EQ(queueChoosing("com.example.current"), KVQueueOperationRemove);
  EXPECT_EQ(queueChoosing("com.example.current", "1.0"), KVQueueOperationDowngrade) << "the installed version itself";
  EXPECT_EQ(queueChoosing("com.example.current", "1:0.1"), KVQueueOperationUpgrade) << "an epoch makes it newer";
  EXPECT_EQ(queueChoosing("com.example.current", "0.9"), KVQueueOperationDowngrade);
  EXPECT_EQ(queueChoosing("com.example.new", "0.1"), KVQueueOperationInstall);
  EXPECT_EQ(record("com.example.new")->queuedVersion(), "0.1");

  ASSERT_EQ(packages().setPackage("com.example.current", true, "1.0", KVQueueOperationReinstall), nullptr);
  EXPECT_EQ(storedOperation("com.example.current"), KVQueueOperationReinstall) << "a code given is kept";
  EXPECT_EQ(packages().setPackage("com.example.unknown", true, std::nullopt, 0), nullptr) << "no record: nothing";
}

TEST_F(PackagesManagerTest, UnqueueingAndResettingClearTheStateDifferently) {
  add(package("com.example.a"));
  add(package("com.example.b"));
  add(package("com.example.untouched"));
  ASSERT_EQ(packages().setPackage("com.example.a", true, "2.0", 0), nullptr);
  ASSERT_EQ(packages().setPackage("com.example.b", true, std::nullopt, 0), nullptr);

  ASSERT_EQ(packages().setPackageObject(*record("com.example.a"), false, std::nullopt, 0), nullptr);
  EXPECT_EQ(record("com.example.a")->isInTheQueue(), false);
  EXPECT_EQ(record("com.example.a")->queuedVersion(), std::nullopt);
  EXPECT_EQ(record("com.example.a")->queueOperation(), std::nullopt);

  ASSERT_EQ(packages().setPackage("com.example.a", true, "2.0", 0), nullptr);
  Latch done;
  packages().resetPackagesQueue([&](ErrorRef error) {
    EXPECT_EQ(error, nullptr);
    done.arrive();
  });
  ASSERT_TRUE(done.wait());
  for (const char* id : {"com.example.a", "com.example.b"}) {
    EXPECT_EQ(record(id)->isInTheQueue(), false) << id;
    EXPECT_EQ(record(id)->queueOperation(), 0) << id << ": a reset leaves the code at 0";
    EXPECT_EQ(record(id)->queuedVersion(), std::nullopt) << id;
  }
  EXPECT_EQ(record("com.example.untouched")->queueOperation(), std::nullopt) << "a package never queued is left alone";
  EXPECT_EQ(KVRPackage::objectsWhere("isInTheQueue = 1").count(), 0u);
}

TEST_F(PackagesManagerTest, UpdateAllQueuesTheUpdatablePackagesThatAreNotHeld) {
  KVRPackage tweak = installed("com.example.tweak", "1.0");
  tweak.setIsUpdated(true);
  KVRPackage held = installed("com.example.held", "1.0");
  held.setIsUpdated(true);
  held.setIsHeld(true);
  KVRPackage essential = package("com.example.essential");  // the refresh marks it updated
  essential.setIsEssential(true);
  essential.setIsUpdated(true);
  add(tweak);
  add(held);
  add(essential);
  add(installed("com.example.current", "1.0"));

  ASSERT_EQ(packages().setPackagesWhere("isUpdated = 1 AND isHeld = 0", true, std::nullopt, 0), nullptr);
  EXPECT_EQ(storedOperation("com.example.tweak"), KVQueueOperationUpgrade);
  EXPECT_EQ(storedOperation("com.example.essential"), KVQueueOperationInstall);
  EXPECT_FALSE(record("com.example.held")->isInTheQueue().value_or(false));
  EXPECT_FALSE(record("com.example.current")->isInTheQueue().value_or(false));
  EXPECT_EQ(packages().countOfUpdatedPackages(), 2u);
}

TEST_F(PackagesManagerTest, TheButtonTitleFollowsTheFirstRuleThatHolds) {
  KVRPackage priced = package("com.example.priced");
  priced.setPrice(std::string("$1.99"));
  KVRPackage queued = installed("com.example.queued", "1.0");
  queued.setIsInTheQueue(true);
  queued.setIsUpdated(true);
  KVRPackage heldUpdate = installed("com.example.held", "1.0");
  heldUpdate.setIsUpdated(true);
  heldUpdate.setIsHeld(true);
  add(priced);
  add(queued);
  add(heldUpdate);
  add(package("com.example.free"));

  auto title = [&](const std::string& id, bool showsPrice, bool available = true, bool owned = false,
                   std::optional<std::string> price = std::nullopt) {
    return packages().getButtonTitleForPackageIdentifier(id, showsPrice, available, owned, price).value_or("<none>");
  };
  EXPECT_EQ(title("com.example.queued", true, false, true), "QUEUED");
  EXPECT_EQ(title("com.example.held", true), "UNINSTALL") << "a held update shows the installed state";
  EXPECT_EQ(title("com.example.priced", true, false, true, "$5"), "UNAVAILABLE");
  EXPECT_EQ(title("com.example.priced", true, true, true), "OWNED");
  EXPECT_EQ(title("com.example.priced", false), "GET");
  EXPECT_EQ(title("com.example.priced", true, true, false, ""), "$1.99") << "its own price";
  EXPECT_EQ(title("com.example.priced", true, true, false, "$2.49"), "$2.49") << "the price given";
  EXPECT_EQ(title("com.example.free", true), "GET");
  EXPECT_EQ(title("com.example.nobody", true), "<none>") << "no record and no price: no title";
  EXPECT_EQ(title("com.example.nobody", true, true, false, "$3"), "$3");
  EXPECT_EQ(title("com.example.nobody", false), "GET");
}

TEST_F(PackagesManagerTest, CategoryListsAndCounts) {
  const std::string source = "https://repo.example/";
  auto inCategory = [&](const std::string& id, const std::string& category, std::optional<std::string> sub) {
    KVRPackage p = package(id);
    p.setSourceLocation(source);
    p.setCategory(category);
    p.setSubcategory(sub);
    return p;
  };
  add(inCategory("a", "Tweaks", std::string("Dark")));
  add(inCategory("b", "Tweaks", std::string("")));
  add(inCategory("c", "Tweaks", std::string("Audio")));
  add(inCategory("d", "", std::nullopt));
  KVRPackage wished = inCategory("e", "Themes", std::nullopt);
  wished.setIsInWishlist(true);
  wished.setIsInstalled(true);
  add(wished);

  EXPECT_EQ(packages().arrayOfSubcategoriesOfCategory("Tweaks"), (std::vector<std::string>{"Audio", "Dark"}));
  EXPECT_EQ(packages().arrayOfSourceCategories(source), (std::vector<std::string>{"", "Themes", "Tweaks"}));
  EXPECT_EQ(packages().countOfInstalledPackagesForSource(source), 1u);
  EXPECT_EQ(packages().countOfPackagesInSourceWithLocation(source), 5u);
  EXPECT_EQ(packages().countOfPackagesInWishlist(), 1u);
  EXPECT_EQ(packages().arrayOfPackagesInWishlist(), std::vector<std::string>{"e"});
  EXPECT_EQ(packages().installedVersionForPackage("E"), "1.0") << "a substring, case-blind";
}

TEST_F(PackagesManagerTest, CachedImagesOfAPackageGoAndSoDoThoseOfLongerIdentifiersItBegins) {
  const std::string support = DeviceRoot::devicePath(DeviceRoot::kApplicationSupport);
  auto put = [&](const std::string& relative) {
    Files::createDirectories(Files::deletingLastPathComponent(support + "/" + relative));
    Files::writeAtomically(support + "/" + relative, std::string("png"));
  };
  put("ScreenshotsCache/com.example.tweak/1.png");
  put("ScreenshotsCache/com.example.tweaks-pro_2.png");
  put("ScreenshotsCache/com.example.other_1.png");
  put("HomeCache/banner-com.example.tweak.png");
  put("DepictionsBanners/deep/er/com.example.tweak.jpg");

  packages().removeCachedImagesForPackages({"com.example.tweak"});
  EXPECT_EQ(Files::contentsOfDirectory(support + "/ScreenshotsCache"), std::vector<std::string>{"com.example.other_1.png"});
  EXPECT_TRUE(Files::contentsOfDirectory(support + "/HomeCache").empty());
  EXPECT_TRUE(Files::contentsOfDirectory(support + "/DepictionsBanners/deep/er").empty());
  packages().removeScreenshotsForPackageWithIdentifier("com.example.absent");  // no folder of its own: nothing
}

TEST_F(PackagesManagerTest, InstallInformationComesFromTheRecord) {
  KVRPackage tweak = installed("com.example.tweak", "1.0");
  tweak.setPostinstallaction(std::string("respring"));
  tweak.setInstalledFiles({"/Library/MobileSubstrate/DynamicLibraries/Tweak.dylib"});
  add(tweak);
  auto info = packages().packageInstallInfo("com.example.tweak");
  ASSERT_TRUE(info);
  EXPECT_EQ(info->postInstallAction, "respring");
  EXPECT_EQ(info->installedFiles.size(), 1u);
  EXPECT_FALSE(packages().packageInstallInfo("com.example.gone"));
}

}  // namespace
