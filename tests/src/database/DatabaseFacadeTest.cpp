#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <algorithm>
#include <atomic>

#include "core/KVPlatform.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "database/KVDatabaseMigrationUtility.h"
#include "database/KVDefaultRepositories.h"
#include "database/KVRPackage.h"
#include "database/KVRPackageManager.h"
#include "database/KVRSchema.h"
#include "database/KVRSource.h"
#include "foundation/DateFormatter.h"
#include "foundation/Dispatch.h"
#include "foundation/Files.h"
#include "store/Store.h"
#include "support/DeviceRootFixture.h"
#include "support/HostMarker.h"
#include "support/ManualClock.h"
#include "support/TestRoot.h"
#include "support/Written.h"
#include "system/DeviceRoot.h"
#include "system/Reachability.h"

namespace {

class DatabaseFacade : public DeviceRootFixture {
 protected:
  void SetUp() override {
    DeviceRootFixture::SetUp();
    QuillbarkPersistentPreferences::resetSharedInstance();
    Reachability::overrideFlags(kSCNetworkReachabilityFlagsReachable);
    KVDefaultRepositories::overrideDefaultSourceLocations(
        {"http://127.0.0.1:1/vendor/repo/", "http://127.0.0.1:1/large/repofiles/cydia/", "http://127.0.0.1:1/dev/repo/",
         "http://127.0.0.1:1/c1/", "http://127.0.0.1:1/c2/", "http://127.0.0.1:1/c3/", "http://127.0.0.1:1/c4/"});
    KVDefaultRepositories::overrideBootstrapLocation(KVPlatform::Unc0ver, std::string("http://127.0.0.1:1/bootstrap/"));
    testRoot_.sources->onRefresh([this] {
      if (RunLoop::isMainThread()) ++refreshesOnMain;
      ++refreshes;
    });
  }
  void TearDown() override {
    DispatchQueue::drainGlobalQueues();
    store::Database::deleteFiles(KVDatabaseMigrationUtility::databasePath());
    store::Database::setDefaultConfiguration({});
    KVDefaultRepositories::resetOverrides();
    Reachability::clearOverride();
    QuillbarkPersistentPreferences::resetSharedInstance();
    DeviceRootFixture::TearDown();
  }

  std::string support(const std::string& name = "") {
    std::string s = DeviceRoot::devicePath(DeviceRoot::kApplicationSupport);
    return name.empty() ? s : s + "/" + name;
  }
  std::shared_ptr<store::Database> db() { return store::Database::defaultDatabase(); }
  std::vector<std::string> sourceLocations() {
    std::vector<std::string> out;
    for (const auto& v : db()->objects("KVRSource").valuesForKey("location")) out.push_back(v.asString());
    return out;
  }

  // A database file written with an older schema version: the records as they are
  // now, less the update dates that came at version 24.
  void writeOldDatabase(uint64_t version) {
    store::Configuration c = KVDatabaseMigrationUtility::defaultConfiguration();
    c.schemaVersion = version;
    store::Schema older, current = KVRSchema::schema();
    for (const auto& cls : current.classes()) {
      store::ObjectSchema copy(cls->className());
      for (const auto& p : cls->properties()) {
        if (p.name != "updatedDate" && p.name != "updatedDateStr") copy.add(p);
      }
      older.add(copy);
    }
    c.schema = older;
    auto old = store::Database::open(c).value();
    written(old->write([&] {
      for (const char* id : {"com.a", "com.b"}) {
        auto p = old->makeObject("KVRPackage");
        p.set("identifier", id);
        p.set("initialDate", Date{600000000});
        p.set("initialDateStr", "2020-01-06 10:40");
        auto v = old->makeObject("KVRPackageVersion");
        v.set("version", "1.0");
        p.mutableLinks("availableVersions").push_back(v);
        old->add(p);
      }
      auto s = old->makeObject("KVRSource");
      s.set("location", "https://followed.example/");
      s.set("isFollowed", true);
      old->add(s);
    }));
    old.reset();
    Files::createDirectories(support("SourcesFiles"));
    Files::writeAtomically(support("SourcesFiles/old-Packages"), std::string("x"));
    Files::createDirectories(support("APT"));
    Files::writeAtomically(support("APT/stale"), std::string("x"));
  }

  std::atomic<int> refreshes{0};
  std::atomic<int> refreshesOnMain{0};
  TestRoot testRoot_;
};

TEST_F(DatabaseFacade, AFirstStartSeedsTheDefaultsAndTheBootstrapAndRefreshesThreeSecondsLater) {
  ManualClock clock;
  Files::writeAtomically(DeviceRoot::devicePath("/.installed_unc0ver"), std::string());
  KVPlatform::resetCaches();
  bool refresh = true;
  EXPECT_TRUE(KVDatabaseMigrationUtility::migrateDatabaseForced(false, &refresh));
  EXPECT_FALSE(refresh);
  EXPECT_EQ(store::Database::defaultConfiguration().path, support("default.realm"));
  EXPECT_EQ(store::Database::defaultConfiguration().schemaVersion, 29u);

  KVRPackageManager manager(testRoot_.sources, testRoot_.packages);
  EXPECT_TRUE(manager.scheduledRefresh());
  ASSERT_TRUE(DispatchQueue::drainGlobalQueues());
  auto locations = sourceLocations();
  ASSERT_EQ(locations.size(), 8u);
  auto defaults = KVDefaultRepositories::defaultSourceLocations();
  std::vector<std::string> inOrder;
  for (const auto& l : locations) {
    if (l != "http://127.0.0.1:1/bootstrap/") inOrder.push_back(l);
  }
  EXPECT_EQ(inOrder, defaults);
  auto first = KVRSource::objectForPrimaryKey(defaults[0]);
  EXPECT_EQ(first->name(), defaults[0]);
  EXPECT_EQ(first->totalPackages(), " ");

  clock.advance(2.9);
  ASSERT_TRUE(DispatchQueue::drainGlobalQueues());
  EXPECT_EQ(refreshes, 0);
  clock.advance(0.2);
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return refreshes == 1; }));
  EXPECT_EQ(refreshesOnMain, 0);  // handed from the main queue to a background one
}

TEST(DefaultRepositories, EachToolHasItsBootstrapRepository) {
  KVDefaultRepositories::resetOverrides();
  using KVDefaultRepositories::bootstrapLocationForJailbreakTool;
  EXPECT_FALSE(bootstrapLocationForJailbreakTool(KVPlatform::None));
  EXPECT_EQ(bootstrapLocationForJailbreakTool(KVPlatform::Chimera), bootstrapLocationForJailbreakTool(KVPlatform::Electra));
  EXPECT_EQ(bootstrapLocationForJailbreakTool(KVPlatform::Unc0ver), bootstrapLocationForJailbreakTool(KVPlatform::Checkra1n));
  EXPECT_NE(bootstrapLocationForJailbreakTool(KVPlatform::Chimera), bootstrapLocationForJailbreakTool(KVPlatform::Unc0ver));
  for (int tool : {KVPlatform::Unc0ver, KVPlatform::Electra}) {
    std::string location = *bootstrapLocationForJailbreakTool(tool);
    EXPECT_EQ(location.rfind("https://", 0), 0u) << location;
    EXPECT_EQ(std::count(location.begin(), location.end(), '/'), 3) << location;  // the root of its host
  }
  auto defaults = KVDefaultRepositories::defaultSourceLocations();
  ASSERT_EQ(defaults.size(), 7u);
  EXPECT_EQ(defaults[0].rfind("https://", 0), 0u);
  EXPECT_EQ(defaults[0].substr(defaults[0].size() - 6), "/repo/");
  EXPECT_EQ(defaults[1].rfind("http://", 0), 0u);
  EXPECT_EQ(defaults[1].substr(defaults[1].size() - 17), "/repofiles/cydia/");
  EXPECT_EQ(defaults[2].substr(defaults[2].size() - 6), "/repo/");
  for (size_t i = 3; i < 7; ++i) {
    EXPECT_EQ(defaults[i].rfind("https://", 0), 0u) << defaults[i];
    EXPECT_EQ(std::count(defaults[i].begin(), defaults[i].end(), '/'), 3) << defaults[i];
  }
}

TEST_F(DatabaseFacade, NothingToAddAndARecentRefreshScheduleNothing) {
  ManualClock clock;
  KVDatabaseMigrationUtility::migrateDatabaseForced(false, nullptr);
  written(db()->write([&] { db()->add(KVRSource::newSourceWithLocation("https://one.example/").toObject()); }));
  QuillbarkPersistentPreferences::sharedInstance().setValue(Date::now().addingTimeInterval(-60), "lastRefreshDate");
  KVRPackageManager manager(testRoot_.sources, testRoot_.packages);  // no jailbreak tool in this root: no bootstrap
  EXPECT_FALSE(manager.scheduledRefresh());
  clock.advance(10);
  ASSERT_TRUE(DispatchQueue::drainGlobalQueues());
  EXPECT_EQ(refreshes, 0);
  EXPECT_EQ(sourceLocations(), (std::vector<std::string>{"https://one.example/"}));
}

TEST_F(DatabaseFacade, ARemovedBootstrapRepositoryComesBack) {
  KVDatabaseMigrationUtility::migrateDatabaseForced(false, nullptr);
  written(db()->write([&] { db()->add(KVRSource::newSourceWithLocation("https://one.example/").toObject()); }));
  Files::writeAtomically(DeviceRoot::devicePath("/.installed_unc0ver"), std::string());
  KVPlatform::resetCaches();
  EXPECT_TRUE(KVRPackageManager::verifyDefaultSourcesForJailbreakTool());
  ASSERT_TRUE(DispatchQueue::drainGlobalQueues());
  EXPECT_TRUE(KVRSource::objectForPrimaryKey("http://127.0.0.1:1/bootstrap/"));
  EXPECT_FALSE(KVRPackageManager::verifyDefaultSourcesForJailbreakTool());
  EXPECT_FALSE(KVRPackageManager::setDefaultSourcesIfDatabaseIsEmpty());
}

TEST_F(DatabaseFacade, ARefreshIsNeededAfterAnHourOrWhenTheDateLiesAhead) {
  ManualClock clock;
  auto& prefs = QuillbarkPersistentPreferences::sharedInstance();
  prefs.removeObjectForKey("lastRefreshDate");
  EXPECT_TRUE(KVRPackageManager::refreshIsNeeded());
  prefs.setValue(Date::now().addingTimeInterval(-59 * 60), "lastRefreshDate");
  EXPECT_FALSE(KVRPackageManager::refreshIsNeeded());
  prefs.setValue(Date::now().addingTimeInterval(-61 * 60), "lastRefreshDate");
  EXPECT_TRUE(KVRPackageManager::refreshIsNeeded());
  prefs.setValue(Date::now().addingTimeInterval(120), "lastRefreshDate");
  EXPECT_TRUE(KVRPackageManager::refreshIsNeeded());
  Reachability::overrideFlags(0);
  EXPECT_FALSE(KVRPackageManager::refreshIsNeeded());
}

TEST_F(DatabaseFacade, ASchemaVersion23DatabaseIsMigrated) {
  writeOldDatabase(23);
  QuillbarkPersistentPreferences::sharedInstance().setValue(false, "NeedsFullRefresh");
  bool refresh = false;
  EXPECT_TRUE(KVDatabaseMigrationUtility::migrateDatabaseForced(false, &refresh));
  EXPECT_TRUE(refresh);
  EXPECT_EQ(db()->objects("KVRPackageVersion").count(), 0u);
  auto a = KVRPackage::objectForPrimaryKey("com.a");
  ASSERT_TRUE(a);
  EXPECT_EQ(a->updatedDate()->seconds, 600000000);
  EXPECT_EQ(a->updatedDateStr(), "2020-01-06 10:40");
  EXPECT_TRUE(a->availableVersions().empty());
  EXPECT_EQ(KVRSource::objectForPrimaryKey("https://followed.example/")->isFollowed(), false);
  EXPECT_TRUE(QuillbarkPersistentPreferences::sharedInstance().boolForKey("NeedsFullRefresh"));
  EXPECT_TRUE(Files::isDirectory(support("SourcesFiles")));
  EXPECT_TRUE(Files::contentsOfDirectory(support("SourcesFiles")).empty());
  EXPECT_FALSE(Files::exists(support("APT/stale")));
}

TEST_F(DatabaseFacade, ASchemaVersion17DatabaseLosesItsPackagesAndAForcedOneItsSourcesToo) {
  writeOldDatabase(17);
  bool refresh = false;
  EXPECT_TRUE(KVDatabaseMigrationUtility::migrateDatabaseForced(false, &refresh));
  EXPECT_TRUE(refresh);
  EXPECT_EQ(db()->objects("KVRPackage").count(), 0u);
  EXPECT_EQ(db()->objects("KVRSource").count(), 1u);

  store::Database::deleteFiles(KVDatabaseMigrationUtility::databasePath());
  writeOldDatabase(25);
  EXPECT_TRUE(KVDatabaseMigrationUtility::migrateDatabaseForced(true, &refresh));
  EXPECT_EQ(db()->objects("KVRPackage").count(), 0u);
  EXPECT_EQ(db()->objects("KVRSource").count(), 0u);
}

TEST_F(DatabaseFacade, AnUnreadableDatabaseIsResetAndTheAlertIsAskedFor) {
  Files::writeAtomically(support("default.realm"), std::string(16384, '\x5A'));
  bool refresh = false;
  EXPECT_FALSE(KVDatabaseMigrationUtility::migrateDatabaseForced(false, &refresh));
  // The new file is a working, empty database.
  EXPECT_EQ(db()->objects("KVRPackage").count(), 0u);
  written(db()->write([&] { db()->add(KVRSource::newSourceWithLocation("https://one.example/").toObject()); }));
  std::string blanks(95, ' ');
  EXPECT_EQ(KVDatabaseMigrationUtility::didResetDatabaseMessage(),
            "Due to changes in the database schema, your database was not able to be updated." + blanks +
                "Your database has been reset to prevent crashes." + blanks +
                "You can reimport your sources from Quillbarks Settings page.");
}

TEST_F(DatabaseFacade, AFileFromANewerSchemaIsResetToo) {
  store::Configuration newer = KVDatabaseMigrationUtility::defaultConfiguration();
  newer.schemaVersion = KVRSchema::kSchemaVersion + 1;
  auto file = store::Database::open(newer).value();
  written(file->write([&] { file->add(KVRSource::newSourceWithLocation("https://from-the-future.example/").toObject()); }));
  file.reset();
  bool refresh = true;
  EXPECT_FALSE(KVDatabaseMigrationUtility::migrateDatabaseForced(false, &refresh));
  EXPECT_FALSE(refresh);
  EXPECT_EQ(db()->objects("KVRSource").count(), 0u);
  EXPECT_EQ(db()->schemaVersion(), KVRSchema::kSchemaVersion);
}

TEST_F(DatabaseFacade, ADatabaseFromBeforeTheCutOffDateIsDeletedWithItsFolder) {
  EXPECT_FALSE(KVDatabaseMigrationUtility::deleteDatabaseIfOutdated());
  KVDatabaseMigrationUtility::migrateDatabaseForced(false, nullptr);
  written(db()->write([&] { db()->add(KVRSource::newSourceWithLocation("https://one.example/").toObject()); }));
  DateFormatter local("yyyy-MM-dd HH:mm", "");
  auto setModified = [&](const char* when) {
    double unix = local.parse(when)->unixSeconds();
    utimbuf times{static_cast<time_t>(unix), static_cast<time_t>(unix)};
    ASSERT_EQ(utime(KVDatabaseMigrationUtility::databasePath().c_str(), &times), 0);
  };
  setModified("2019-10-28 00:01");
  EXPECT_FALSE(KVDatabaseMigrationUtility::deleteDatabaseIfOutdated());
  setModified("2019-10-27 23:59");
  EXPECT_TRUE(KVDatabaseMigrationUtility::deleteDatabaseIfOutdated());
  EXPECT_FALSE(Files::exists(support()));
}

TEST(DatabaseCompaction, TheRuleTakesFilesOverTwentyMebibytesThatAreLessThanEightyPercentUsed) {
  const uint64_t MiB = 1024 * 1024;
  EXPECT_TRUE(KVDatabaseMigrationUtility::shouldCompactOnLaunch(30 * MiB, 21 * MiB));
  EXPECT_FALSE(KVDatabaseMigrationUtility::shouldCompactOnLaunch(20 * MiB, 14 * MiB));  // exactly 20 MiB
  EXPECT_TRUE(KVDatabaseMigrationUtility::shouldCompactOnLaunch(20 * MiB + 1, 14 * MiB));
  EXPECT_FALSE(KVDatabaseMigrationUtility::shouldCompactOnLaunch(30 * MiB, 24 * MiB));  // 80 % is enough
  EXPECT_FALSE(KVDatabaseMigrationUtility::shouldCompactOnLaunch(0, 0));
}

TEST_F(DatabaseFacade, ALargeDatabaseWithFreeSpaceIsCompactedOnLaunch) {
  KVDatabaseMigrationUtility::migrateDatabaseForced(false, nullptr);
  std::string text(30000, 'd');
  written(db()->write([&] {
    for (int i = 0; i < 1000; ++i) {
      KVRPackage p;
      p.setIdentifier("com.pkg." + std::to_string(i));
      p.setDescription(text);
      db()->add(p.toObject());
    }
  }));
  written(db()->write([&] { db()->deleteObjects(db()->objects("KVRPackage", "identifier ENDSWITH '1' OR identifier ENDSWITH '2' OR identifier ENDSWITH '3'")); }));
  store::Database::setDefaultConfiguration({});  // closes the file
  uint64_t before = *Files::fileSize(KVDatabaseMigrationUtility::databasePath());
  ASSERT_GT(before, 20u * 1024 * 1024);
  EXPECT_TRUE(KVDatabaseMigrationUtility::migrateDatabaseForced(false, nullptr));
  EXPECT_LT(*Files::fileSize(KVDatabaseMigrationUtility::databasePath()), before * 8 / 10);
  EXPECT_EQ(db()->objects("KVRPackage").count(), 700u);
}

}  // namespace

TEST_F(DatabaseFacade, LinksAPackagePutInPlaceOfTheDatabaseLeadNoWriteOutOfTheRoot) {
  HostMarker marker;
  auto addSource = [&] {
    ASSERT_TRUE(db());
    written(db()->write([&] { db()->add(KVRSource::newSourceWithLocation("https://one.example/").toObject()); }));
    EXPECT_EQ(db()->objects("KVRSource").count(), 1u);
  };
  auto close = [] {
    store::Database::setDefaultConfiguration({});
    store::Database::deleteFiles(KVDatabaseMigrationUtility::databasePath());
  };
  // Links to the host with the names of the database and its companions...
  ASSERT_TRUE(Files::createDirectories(support()));
  for (const char* name : {"default.realm", "default.realm-wal", "default.realm-shm", "default.realm-journal"})
    ASSERT_EQ(::symlink(marker.file(name).c_str(), support(name).c_str()), 0);
  EXPECT_TRUE(KVDatabaseMigrationUtility::migrateDatabaseForced(false, nullptr));
  addSource();
  EXPECT_EQ(marker.changes(), "");
  close();
  // ...and one in place of the whole folder.
  ASSERT_TRUE(Files::removeItem(support()));
  ASSERT_EQ(::symlink(marker.path().c_str(), support().c_str()), 0);
  EXPECT_TRUE(KVDatabaseMigrationUtility::migrateDatabaseForced(false, nullptr));
  addSource();
  struct stat st;
  ASSERT_EQ(::lstat(support().c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(marker.changes(), "");
}
