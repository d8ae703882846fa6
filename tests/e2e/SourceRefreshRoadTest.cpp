// The road of a source refresh with real data nobody here wrote: public repositories and
// Debian's own index served on 127.0.0.1, refreshed into the database and APT's lists,
// then read back by APT itself through the launcher.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "foundation/Files.h"
#include "operations/KVAPTManager.h"
#include "support/IndexIdentifiers.h"
#include "support/SourceRefreshFixture.h"
#include "support/TestData.h"
#include "support/TestResets.h"
#include "support/TimeBound.h"
#include "support/Written.h"
#include "system/DeviceRoot.h"

namespace {

// The lower-cased identifiers of a Packages file's stanzas, and those whose every
// stanza limits the system version ("firmware" in Depends).
struct IndexIdentifiers {
  std::set<std::string> all;
  std::set<std::string> limited;
};
IndexIdentifiers identifiersOf(const std::string& packagesPath) {
  IndexIdentifiers ids;
  std::set<std::string> unlimited;
  std::ifstream in(packagesPath);
  std::string line, current;
  bool firmware = false;
  auto finish = [&] {
    if (current.empty()) return;
    ids.all.insert(current);
    if (!firmware) unlimited.insert(current);
    current.clear();
    firmware = false;
  };
  while (std::getline(in, line)) {
    if (line.empty()) finish();
    if (line.rfind("Package:", 0) == 0) {
      current = line.substr(line.find_first_not_of(' ', 8));
      for (auto& c : current) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if ((line.rfind("Depends:", 0) == 0 || line.rfind("Pre-Depends:", 0) == 0) && line.find("firmware") != std::string::npos)
      firmware = true;
  }
  finish();
  for (const auto& id : ids.all)
    if (!unlimited.count(id)) ids.limited.insert(id);
  return ids;
}

class SourceRefreshRoad : public SourceRefreshFixture {
 protected:
  // A copy of a real repository's Release and index files, all or some.
  std::string copyRepository(const std::string& from, const std::string& folder, std::vector<std::string> names) {
    std::string location = locationOf(folder);
    names.push_back("Release");
    for (const auto& name : names) {
      std::string source = from + "/" + name;
      if (Files::exists(source)) {
        EXPECT_TRUE(Files::copyItem(source, repositories.file(folder) + "/" + name)) << source;
      }
    }
    return location;
  }
  std::set<std::string> identifiersIn(const std::string& location) {
    std::set<std::string> out;
    for (const auto& p : packagesOf(location)) out.insert(p.identifier());
    return out;
  }
};

const char* const kRepositories[] = {"repos/poomsmart/repo", "repos/procursus-mirror", "repos/nepeta", "repos/utm",
                                     "repos/paidrepo"};

TEST_F(SourceRefreshRoad, RealRepositoriesBecomeOneRecordPerIdentifier) {
  preferences().setObject(Value(true), "ShowIncompatiblePackages");
  int n = 0;
  for (const char* relative : kRepositories) {
    QB_TESTDATA_OR_SKIP(folder, relative);
    SCOPED_TRACE(relative);
    auto expected = identifiersOf(folder + "/Packages");
    // As it stands, and published in bzip2 only.
    std::string whole = copyRepository(folder, "whole" + std::to_string(n),
                                       {"Packages", "Packages.gz", "Packages.bz2", "Packages.xz", "Packages.lzma"});
    std::string bz2 = copyRepository(folder, "bz2-" + std::to_string(n++), {"Packages.bz2"});
    written(db()->write([&] { db()->deleteAll(); }));
    ASSERT_TRUE(refresh(whole));
    EXPECT_EQ(source(whole)->hasErrors(), false) << source(whole)->Description().value_or("");
    EXPECT_EQ(identifiersIn(whole), expected.all);
    EXPECT_EQ(source(whole)->totalPackages(), std::to_string(expected.all.size()));

    written(db()->write([&] { db()->deleteAll(); }));
    ASSERT_TRUE(refresh(bz2));
    EXPECT_EQ(identifiersIn(bz2), expected.all);
    EXPECT_EQ(requestedNames("bz2-" + std::to_string(n - 1)).back(), "Packages.bz2");
  }
}

// The device runs 14.4: a package whose every stanza rules that out is not stored.
TEST_F(SourceRefreshRoad, IncompatiblePackagesOfRealRepositoriesAreLeftOut) {
  QB_TESTDATA_OR_SKIP(folder, "repos/poomsmart/repo");
  std::string location = copyRepository(folder, "repo", {"Packages.xz"});
  ASSERT_TRUE(refresh(location));
  auto expected = identifiersOf(folder + "/Packages");
  auto stored = identifiersIn(location);
  EXPECT_LT(stored.size(), expected.all.size());
  for (const auto& id : expected.all)
    if (!stored.count(id)) {
      EXPECT_TRUE(expected.limited.count(id)) << id << " is missing without a firmware limit";
    }

  auto emoji = package("com.ps.emojifontmanager");
  ASSERT_TRUE(emoji);
  EXPECT_EQ(emoji->name(), "EmojiFontManager");
  EXPECT_EQ(emoji->category(), "Tweaks");
  EXPECT_EQ(emoji->website(), "https://poomsmart.github.io/repo/depictions/emojifontmanager.html");
  EXPECT_EQ(emoji->sileoDepiction(), "https://poomsmart.github.io/repo/sileodepictions/emojifontmanager.json");
  EXPECT_EQ(emoji->iconURL(), "file:///Library/PreferenceBundles/EFMPref.bundle/EFMPref@2x.png");
  EXPECT_EQ(emoji->maintainer(), "PoomSmart");
  const auto& deps = emoji->dependencies();
  EXPECT_NE(std::find(deps.begin(), deps.end(), "preferenceloader"), deps.end());
  EXPECT_GT(emoji->availableVersions().size(), 1u);
  for (const auto& v : emoji->availableVersions())
    EXPECT_EQ(v.fileLocation()->rfind(location + "./debs/emojifontmanager/", 0), 0u) << *v.fileLocation();
}

TEST_F(SourceRefreshRoad, APaidRepositorysPackagesArePaidAndItsEndpointIsStored) {
  QB_TESTDATA_OR_SKIP(folder, "repos/paidrepo");
  std::string location = copyRepository(folder, "paid", {"Packages.xz", "payment_endpoint"});
  ASSERT_TRUE(refresh(location));
  auto packages = packagesOf(location);
  ASSERT_FALSE(packages.empty());
  for (const auto& p : packages) EXPECT_EQ(p.price(), "Paid") << p.identifier();
  EXPECT_EQ(package("com.nan.debd")->availableVersions().size(), 1u) << "three architectures, one version";
  EXPECT_EQ(source(location)->hasEndpoint(), true);
  EXPECT_EQ(source(location)->endpoint(), "https://invalidunit.github.io/fakerepo/api/");
}

// APT reads the lists the refresh wrote: no apt-get update is needed.
TEST_F(SourceRefreshRoad, APTKnowsARefreshedRepository) {
  std::string folder = repositories.file("apt");
  Files::createDirectories(folder);
  DebBuilder debs(folder);
  ASSERT_FALSE(debs.build(DebPackage("com.example.lib", "1.0").file("/usr/lib/libexample.txt", "lib\n"), "lib.deb").empty());
  ASSERT_FALSE(debs.build(DebPackage("com.example.tool", "2.0").field("Depends", "com.example.lib"), "tool.deb").empty());
  ASSERT_TRUE(DebBuilder::writeFlatRepository(folder, {"lib.deb", "tool.deb"}));
  std::string location = server.url("/apt/");
  ASSERT_TRUE(refresh(location));
  ASSERT_TRUE(package("com.example.tool"));

  auto versions = KVAPTManager::availableVersionsForIdentifierWithSourceInfo("com.example.tool");
  ASSERT_EQ(versions.size(), 1u) << KVAPTManager::output().value_or("");
  EXPECT_EQ(versions[0].version, "2.0");
  EXPECT_NE(versions[0].source.find(server.url("/apt")), std::string::npos) << versions[0].source;
  // The dry run answers "no" to its own question, after listing what it would do.
  auto dryRun = KVAPTManager::dryRunForQueue("com.example.tool");
  EXPECT_TRUE(dryRun.ran);
  EXPECT_NE(dryRun.output.find("The following NEW packages will be installed:\n  com.example.lib com.example.tool"),
            std::string::npos)
      << dryRun.output;
}

// A source APT cannot be told of (its lists folder is no folder) gets no records, which
// APT could never install: its refresh ends with the reason on the source.
TEST_F(SourceRefreshRoad, ASourceAPTCannotBeToldOfEndsWithItsReasonAndNoRecords) {
  std::string location = serveIndex("unlisted", stanza("com.example.tool", "1.0"));
  ASSERT_EQ(KVAPTManager::createAPTSandboxIfNeeded(), nullptr);
  ASSERT_TRUE(Files::removeItem(KVAPTManager::listsPath()));
  ASSERT_TRUE(Files::writeAtomically(KVAPTManager::listsPath(), std::string("not a folder")));
  ASSERT_TRUE(refresh(location));
  ASSERT_TRUE(source(location));
  EXPECT_EQ(source(location)->hasErrors(), true);
  EXPECT_EQ(source(location)->Description().value_or("").rfind("The source could not be given to APT: ", 0), 0u)
      << source(location)->Description().value_or("");
  EXPECT_TRUE(packagesOf(location).empty());
  EXPECT_EQ(sourcesList().find(location), std::string::npos);
}

// Debian 12's main index, 63,440 stanzas, in one transaction.
TEST_F(SourceRefreshRoad, TheDebianIndexRefreshesAndItsRecordsAreSearchedQuickly) {
  QB_TESTDATA_OR_SKIP(index, "debian/bookworm-main-amd64-Packages.xz");
  std::string location = locationOf("debian");
  // A few packages come twice (two versions of one identifier): one record each.
  std::string decodingError;
  auto identifiers = packageIdentifiersOfIndex(index, &decodingError);
  ASSERT_TRUE(identifiers) << decodingError;
  ASSERT_TRUE(Files::copyItem(index, repositories.file("debian/Packages.xz")));
  ASSERT_TRUE(Files::writeAtomically(repositories.file("debian/Release"),
                                     std::string("Origin: Debian\nLabel: Debian\nDescription: Debian 12 main\n")));
  preferences().setObject(Value(true), "ShowIncompatiblePackages");
  ASSERT_TRUE(refresh(location));
  EXPECT_EQ(source(location)->hasErrors(), false) << source(location)->Description().value_or("");
  EXPECT_EQ(source(location)->totalPackages(), std::to_string(identifiers->size()));
  EXPECT_EQ(KVRPackage::allObjects().count(), identifiers->size());

  auto started = std::chrono::steady_clock::now();
  auto found = KVRPackage::objectsWhere("name contains[cd] %@", "python3-").sorted("name");
  size_t count = found.count();
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  EXPECT_GT(count, 1000u);
  EXPECT_LT(seconds, testsupport::timeBound(5.0)) << "a search by name over the whole index";
}

// The kept copy of an index is replaced only after its records are committed: a process
// killed in the middle of applying a new index applies it on the next refresh, although
// the download equals what the dead process fetched and its list file, put in place
// before the records, is newer than the index.
TEST_F(SourceRefreshRoad, AProcessKilledWhileApplyingAnIndexAppliesItNextTime) {
  auto index = [](const std::string& version) {
    std::string text;
    for (int i = 0; i < 30000; ++i)
      text += stanza("com.example.package" + std::to_string(i), version, {{"Description", "one of many packages"}});
    return text;
  };
  FlatRepositoryOptions plain;
  plain.compressedIndexes = false;
  std::string location = serveIndex("repo", stanza("com.example.first", "1.0"), plain);
  ASSERT_TRUE(refresh(location));
  serveIndex("repo", index("2.0"), plain);
  ageListFiles(location);
  // What the child needs of this process: its device root and the repository's address.
  setenv("QB_KILLED_REFRESH_ROOT", rootPath().c_str(), 0);
  setenv("QB_KILLED_REFRESH_LOCATION", location.c_str(), 0);

  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        TestResets::resetAll();  // a death test's child starts without the listener's resets
        DeviceRoot::setRoot(std::getenv("QB_KILLED_REFRESH_ROOT"));
        // The download's temporary file outlives the killed child: it goes into the root,
        // which the test removes, rather than into the host's /tmp.
        std::string temporary = std::string(std::getenv("QB_KILLED_REFRESH_ROOT")) + "/tmp";
        Files::createDirectories(temporary);
        setenv("TMPDIR", temporary.c_str(), 1);
        QuillbarkPersistentPreferences::resetSharedInstance();
        QuillbarkPersistentPreferences::sharedInstance().setObject(Value(true), "setupDone");
        store::Database::setDefaultConfiguration(KVDatabaseMigrationUtility::defaultConfiguration());
        TestRoot child(TestRoot::WithSourcesManager{});
        std::string killedLocation = std::getenv("QB_KILLED_REFRESH_LOCATION");
        // A list file put in place before its records are in has this beside it.
        std::string ahead = KVAPTManager::aheadMarkerPathForSource(killedLocation);
        // This child ran the test's start too, in folders of its own that nobody would
        // remove after a kill: unused (the refresh runs in the test's root), they go now.
        Files::removeItem(Files::deletingLastPathComponent(rootPath()));
        Files::removeItem(repositories.path());
        child.sourcesManager->refreshSource(killedLocation);
        // Once the whole list file is in place ahead of its records, the transaction is
        // open. The kill comes at once, from a thread that does nothing else: the records,
        // still some tenths of a second of work, are never committed first.
        std::thread([&] {
          for (;;) {
            if (Files::exists(ahead)) kill(getpid(), SIGKILL);
            std::this_thread::sleep_for(std::chrono::microseconds(100));
          }
        }).detach();
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < until) {
          RunLoop::main().runOnce();
          std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        std::exit(3);
      },
      ::testing::KilledBySignal(SIGKILL), "");
  unsetenv("QB_KILLED_REFRESH_ROOT");
  unsetenv("QB_KILLED_REFRESH_LOCATION");

  EXPECT_EQ(packagesOf(location).size(), 1u) << "the killed transaction left nothing";
  ASSERT_TRUE(refresh(location));
  EXPECT_EQ(packagesOf(location).size(), 30000u);
  EXPECT_EQ(package("com.example.package0")->version(), "2.0");
  EXPECT_FALSE(package("com.example.first"));
}

}  // namespace
