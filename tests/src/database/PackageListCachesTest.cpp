// The packages manager's list caches (the category rows, the new-packages and
// new-versions groupings, the update badge) and the developers and search histories,
// on real records.
#include <gtest/gtest.h>

#include <thread>

#include "core/QuillbarkPersistentPreferences.h"
#include "database/KVRDeveloper.h"
#include "database/KVRDevelopers.h"
#include "database/KVRPackageListCaches.h"
#include "database/KVRSearchHistories.h"
#include "database/KVRSearchHistory.h"
#include "foundation/NotificationCenter.h"
#include "support/Latch.h"
#include "support/PackageRecordsFixture.h"
#include "support/Written.h"

namespace {

class PackageListCaches : public PackageRecordsFixture {
 protected:
  void SetUp() override {
    PackageRecordsFixture::SetUp();
    QuillbarkPersistentPreferences::resetSharedInstance();
  }
  void TearDown() override {
    PackageRecordsFixture::TearDown();
    QuillbarkPersistentPreferences::resetSharedInstance();
  }
  KVRPackageListCaches& caches() { return *packages().caches(); }
  // A package of a refresh at `date`, in `category`.
  void addPackage(const std::string& identifier, const std::string& name, const std::string& date,
                  const std::string& category = {}, std::function<void(KVRPackage&)> more = {}) {
    KVRPackage p = package(identifier);
    p.setName(name);
    if (!date.empty()) p.setUpdatedDateStr(date);
    if (!category.empty()) p.setCategory(category);
    if (more) more(p);
    add(p);
  }
  // Rebuilds the category rows and waits for "DoneRebuildingPackagesCache".
  std::vector<std::string> rebuildCategories() {
    int done = 0;
    auto token = NotificationCenter::defaultCenter().addObserver(KVDoneRebuildingPackagesCacheNotification,
                                                                 [&](const Notification&) { ++done; });
    packages().rebuildPackagesCategoriesCache();
    settle();
    EXPECT_EQ(done, 1);
    auto rows = caches().arrayOfPackagesCategories();
    return rows ? *rows : std::vector<std::string>{};
  }
};

TEST_F(PackageListCaches, AnEmptyDatabaseGivesTheFiveSpecialRowsAndNoBadge) {
  EXPECT_EQ(caches().arrayOfPackagesCategories(), nullptr) << "none before the first rebuild";
  EXPECT_EQ(rebuildCategories(), (std::vector<std::string>{kCategorySpecial_AllPackages, kCategorySpecial_InstalledPackages,
                                                           "Updated Packages (0)", "New Packages (0)",
                                                           "Browse Repositories"}));
  EXPECT_EQ(root->updateCounts(), std::vector<uint64_t>{0});
}

// Three updatable packages, one of them held: the badge and the row say 2. The new row
// counts only the newest refresh; categories are sorted and incompatible packages keep
// theirs.
TEST_F(PackageListCaches, TheCategoryRowsCountUpdatesNotHeldAndTheNewestRefreshOnly) {
  auto updatable = [](bool held) { return [held](KVRPackage& p) { p.setIsUpdated(true), p.setIsHeld(held); }; };
  addPackage("com.example.a", "A", "2026-12-01 10:00", "Tweaks", updatable(false));
  addPackage("com.example.b", "B", "2026-12-01 10:00", "Addons", updatable(false));
  addPackage("com.example.c", "C", "2026-12-07 09:30", "Themes", updatable(true));
  addPackage("com.example.d", "D", "2026-12-07 09:30", "Incompatible",
             [](KVRPackage& p) { p.setTweakCompatibleStatus(1); });
  addPackage("com.example.e", "E", "", " ");
  EXPECT_EQ(rebuildCategories(),
            (std::vector<std::string>{kCategorySpecial_AllPackages, kCategorySpecial_InstalledPackages,
                                      "Updated Packages (2)", "New Packages (1)", "Browse Repositories", " ", "Addons",
                                      "Incompatible", "Themes", "Tweaks"}));
  EXPECT_EQ(root->updateCounts(), std::vector<uint64_t>{2});

  written(db()->write([&] { db()->objects("KVRPackage").setValue("isUpdated", Value(false)); }));
  auto rows = rebuildCategories();
  EXPECT_EQ(root->updateCounts(), (std::vector<uint64_t>{2, 0}));
  // One that finds the packages as the last one read them answers the same, the badge
  // and the notification included.
  EXPECT_EQ(rebuildCategories(), rows);
  EXPECT_EQ(root->updateCounts(), (std::vector<uint64_t>{2, 0, 0}));
  ASSERT_TRUE(db()->commitsChanging("KVRPackage")) << "the packages' commits are counted";
}

TEST_F(PackageListCaches, GroupingsAreByRefreshNewestFirstEachWithItsOwnDates) {
  auto newVersion = [](KVRPackage& p) { p.setHasNewVersion(true); };
  addPackage("com.example.zeta", "Zeta", "2026-12-07 09:30");
  addPackage("com.example.alpha", "Alpha", "2026-12-07 09:30");
  addPackage("com.example.late", "Late", "2026-12-07 18:05", {}, newVersion);
  addPackage("com.example.old", "Old", "2025-01-31 23:59", {}, newVersion);
  addPackage("com.example.bad", "Bad", "2026-12-08 00:00", {}, [](KVRPackage& p) { p.setTweakCompatibleStatus(1); });
  addPackage("com.example.undated", "Undated", "");

  packages().rebuildDictOfNewPackages();
  packages().rebuildDictOfNewPackagesVersions();
  auto fresh = caches().newPackages();
  auto versions = caches().newPackagesVersions();
  ASSERT_TRUE(fresh && versions);
  EXPECT_EQ(fresh->dates, (std::vector<std::string>{"2026-12-07 18:05", "2026-12-07 09:30", "2025-01-31 23:59"}));
  EXPECT_EQ(fresh->identifiersByDate.at("2026-12-07 09:30"),
            (std::vector<std::string>{"com.example.alpha", "com.example.zeta"}))
      << "by name within a date";
  EXPECT_EQ(versions->dates, (std::vector<std::string>{"2026-12-07 18:05", "2025-01-31 23:59"}))
      << "the new versions keep their own dates";
  EXPECT_EQ(versions->identifiersByDate.at("2025-01-31 23:59"), std::vector<std::string>{"com.example.old"});

  QuillbarkPersistentPreferences::sharedInstance().setObject(Value(true), "ShowIncompatiblePackages");
  packages().rebuildDictOfNewPackages();
  EXPECT_EQ(caches().newPackages()->dates.front(), "2026-12-08 00:00");
  EXPECT_EQ(fresh->dates.front(), "2026-12-07 18:05") << "a snapshot already read never changes";
}

// A reader meanwhile sees a whole grouping, the old one or the new one.
TEST_F(PackageListCaches, ReadersDuringRebuildsSeeOnlyWholeGroupings) {
  for (int i = 0; i < 40; ++i)
    addPackage("com.example.p" + std::to_string(i), "P" + std::to_string(i), "2026-12-0" + std::to_string(1 + i % 5) + " 10:00");
  packages().rebuildDictOfNewPackages();
  std::atomic<bool> stop{false};
  std::atomic<int> broken{0};
  std::thread reader([&] {
    while (!stop) {
      auto g = caches().newPackages();
      size_t members = 0;
      for (const auto& date : g->dates) members += g->identifiersByDate.at(date).size();
      if (g->dates.size() != 5 || members != 40) ++broken;
    }
  });
  for (int round = 0; round < 20; ++round) packages().rebuildDictOfNewPackages();
  stop = true;
  reader.join();
  EXPECT_EQ(broken, 0);
}

class Developers : public PackageListCaches {
 protected:
  KVRDevelopers developers;
  std::vector<KVRDeveloper> rows() { return KVRDeveloper::allObjects().all(); }
};

// Two quick follows, each on its own thread, make one row: the row is looked up inside
// the write transaction.
TEST_F(Developers, FollowingLooksTheRowUpInsideTheTransaction) {
  Latch both(2);
  std::thread one([&] { (void)KVRDevelopers::setDeveloperNow("Some One", true), both.arrive(); });
  std::thread two([&] { (void)KVRDevelopers::setDeveloperNow("some one", true), both.arrive(); });
  ASSERT_TRUE(both.wait(30));
  one.join();
  two.join();
  ASSERT_EQ(rows().size(), 1u);
  EXPECT_EQ(rows()[0].name(), "some one");
  EXPECT_TRUE(developers.isDeveloperFollowed("SOME One"));

  developers.setDeveloper("Some One", false);
  developers.setDeveloper("", true);
  settle();
  EXPECT_FALSE(developers.isDeveloperFollowed("some one"));
  EXPECT_EQ(rows().size(), 2u);
  EXPECT_TRUE(developers.arrayOfFollowedDevelopers().empty()) << "the empty name is never listed";
}

TEST_F(Developers, TheCacheAnnouncesNewPackagesOfFollowedDevelopers) {
  auto by = [](const std::string& maintainer) { return [maintainer](KVRPackage& p) { p.setMaintainer(maintainer); }; };
  addPackage("com.example.one", "One", "2026-12-07 09:30", {}, by("Jane Doe"));
  addPackage("com.example.two", "Two", "2026-12-07 09:30", {}, by("jane doe"));
  addPackage("com.example.three", "Three", "2026-12-07 09:30", {}, by("JANE DOE"));
  addPackage("com.example.space", "Space", "2026-12-07 09:30", {}, by(" "));
  ASSERT_EQ(KVRDevelopers::setDeveloperNow("Jane Doe", true), nullptr);
  std::vector<Value> notices;
  auto token = NotificationCenter::defaultCenter().addObserver(
      KVNewPackageByFollowedDeveloperNotification, [&](const Notification& n) { notices.push_back(n.userInfo); });

  developers.updateDevelopersCache();
  settle();
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0]["title"], Value("New Packages by Followed Developer"));
  EXPECT_NE(notices[0]["message"].asString().find("jane doe has published 3 new packages"), std::string::npos)
      << notices[0]["message"].asString();
  EXPECT_EQ(notices[0]["developer"], Value("jane doe"));
  ASSERT_EQ(rows().size(), 1u);
  EXPECT_EQ(rows()[0].packagesCount(), 3);
  EXPECT_EQ(rows()[0].developerNewPackagesIdentifiers().size(), 3u);
  EXPECT_TRUE(QuillbarkPersistentPreferences::sharedInstance().boolForKey("NewPackagesByFollowedDevelopers"));

  addPackage("com.example.four", "Four", "2026-12-07 10:00", {}, by("Jane Doe"));
  developers.updateDevelopersCache();
  settle();
  ASSERT_EQ(notices.size(), 2u);
  EXPECT_EQ(notices[1]["title"], Value("New Package by Followed Developer"));
  EXPECT_EQ(rows()[0].developerNewPackagesIdentifiers(), std::vector<std::string>{"com.example.four"});

  written(db()->write([&] { db()->deleteObject(*db()->objectForPrimaryKey(KVRPackage::className(), "com.example.one")); }));
  developers.updateDevelopersCache();
  settle();
  EXPECT_EQ(notices.size(), 2u) << "fewer packages are not announced";
  EXPECT_EQ(rows()[0].packagesCount(), 3);
}

TEST_F(Developers, SearchHistoriesAreNewestFirstWithRepeats) {
  written(db()->write([&] {
    for (auto [when, text] : {std::pair{1000.0, "tweak"}, {3000.0, "theme"}, {2000.0, "tweak"}}) {
      KVRSearchHistory h;
      h.setDate(Date::fromUnix(when));
      h.setSearch(text);
      db()->add(h.toObject());
    }
  }));
  EXPECT_EQ(KVRSearchHistories().arrayOfSearchHistory(), (std::vector<std::string>{"theme", "tweak", "tweak"}));
}

}  // namespace
