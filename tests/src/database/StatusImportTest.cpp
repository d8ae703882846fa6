#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sstream>

#include "core/QuillbarkPersistentPreferences.h"
#include "database/KVDatabaseMigrationUtility.h"
#include "database/KVParsingUtility.h"
#include "database/KVRPackage.h"
#include "database/KVStanzaReader.h"
#include "database/KVStatusImport.h"
#include "foundation/DateFormatter.h"
#include "foundation/Dispatch.h"
#include "foundation/Files.h"
#include "foundation/RunLoop.h"
#include "store/Store.h"
#include "support/DeviceRootFixture.h"
#include "support/TestRoot.h"
#include "support/Latch.h"
#include "support/ManualClock.h"
#include "support/TestData.h"
#include "support/Written.h"
#include "system/DeviceRoot.h"

namespace {

std::string readFile(const std::string& path) { return Files::readText(path).value_or(""); }

// The stanzas of a status file that are packages, read here independently of the
// system's own reader: everything but the virtual "cy+", "gsc." and "firmware" entries
// and those tagged role::cydia.
std::set<std::string> packageNames(const std::string& status) {
  std::set<std::string> names;
  std::string text = readFile(status);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\n\n", start);
    std::string stanza = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    start = end == std::string::npos ? text.size() : end + 2;
    std::string name;
    bool pseudo = stanza.find("role::cydia") != std::string::npos;
    std::istringstream lines(stanza);
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("Package: ", 0) == 0) name = line.substr(9);
    }
    if (name.empty() || pseudo || name.rfind("gsc", 0) == 0 || name.rfind("cy+", 0) == 0 || name == "firmware") continue;
    names.insert(name);
  }
  return names;
}

class StatusImport : public DeviceRootFixture {
 protected:
  void SetUp() override {
    DeviceRootFixture::SetUp();
    QuillbarkPersistentPreferences::resetSharedInstance();
    RunLoop::main().reset();
    ASSERT_TRUE(KVDatabaseMigrationUtility::migrateDatabaseForced(false, nullptr));
    db = store::Database::defaultDatabase();
    loadDpkg(testdata::fixture("dpkg"), {"apt.list", "base.list", "coreutils.list"});
  }
  void TearDown() override {
    DispatchQueue::drainGlobalQueues();
    db.reset();
    store::Database::deleteFiles(KVDatabaseMigrationUtility::databasePath());
    store::Database::setDefaultConfiguration({});
    RunLoop::main().reset();
    DeviceRootFixture::TearDown();
  }

  // The device's dpkg database becomes the status and the named file lists of FOLDER.
  void loadDpkg(const std::string& folder, std::initializer_list<const char*> lists) {
    for (const char* list : lists) {
      std::string target = DeviceRoot::devicePath(std::string("/Library/dpkg/info/") + list);
      Files::removeItem(target);
      Files::copyItem(folder + "/info/" + list, target);
    }
    writeStatus(readFile(folder + "/status"));
  }
  void writeStatus(const std::string& text) {
    ASSERT_TRUE(Files::writeAtomically(DeviceRoot::devicePath("/var/lib/dpkg/status"), text));
  }
  void appendStanza(const std::string& stanza) {
    writeStatus(readFile(DeviceRoot::devicePath("/var/lib/dpkg/status")) + "\n" + stanza);
  }
  void replaceInStatus(const std::string& from, const std::string& to) {
    std::string text = readFile(DeviceRoot::devicePath("/var/lib/dpkg/status"));
    size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
    writeStatus(text);
  }

  // Runs the import, waits for its completion and answers the error it was given.
  static ErrorRef importedWithError() {
    Latch done;
    ErrorRef received;
    KVParsingUtility::checkStatusFileWithCompletion([&](ErrorRef error) {
      received = error;
      done.arrive();
    });
    EXPECT_TRUE(done.wait(30));
    return received;
  }

  // Runs the import and waits for its completion (which comes on a background queue).
  void import() {
    Latch done;
    bool onMain = true;
    KVParsingUtility::checkStatusFileWithCompletion([&](ErrorRef error) {
      EXPECT_EQ(error, nullptr) << error->localizedDescription();
      onMain = RunLoop::isMainThread();
      done.arrive();
    });
    ASSERT_TRUE(done.wait(30));
    EXPECT_FALSE(onMain);
  }

  KVRPackage package(const std::string& identifier) {
    auto p = KVRPackage::objectForPrimaryKey(identifier);
    EXPECT_TRUE(p) << identifier;
    return p ? *p : KVRPackage();
  }
  void addFromSource(const std::string& identifier, const std::string& version) {
    KVRPackage p;
    p.setIdentifier(identifier);
    p.setVersion(version);
    p.setName(identifier);
    p.setSourceLocation(std::string("https://repo.example/"));
    p.setPrice(std::string("Paid"));
    written(db->write([&] { db->add(p.toObject()); }));
  }
  Value snapshot() {
    Value all = Value::array();
    for (const auto& o : db->objects("KVRPackage").sorted("identifier").objects()) all.push_back(o.toValue());
    return all;
  }

  std::shared_ptr<store::Database> db;
};

TEST_F(StatusImport, TheStatusFileGivesItsInstalledPackagesWithoutTheVirtualOnes) {
  import();
  auto expected = packageNames(testdata::fixture("dpkg/status"));
  EXPECT_EQ(expected, (std::set<std::string>{"apt", "base", "bash", "coreutils"}));
  std::set<std::string> stored;
  for (const auto& v : db->objects("KVRPackage").valuesForKey("identifier")) stored.insert(v.asString());
  EXPECT_EQ(stored, expected);

  KVRPackage apt = package("apt");
  EXPECT_EQ(apt.sourceLocation(), "DPKG");
  EXPECT_EQ(apt.version(), "2.7.1");
  EXPECT_EQ(apt.installedVersion(), "2.7.1");
  EXPECT_EQ(apt.isInstalled(), true);
  EXPECT_EQ(apt.isInstalledUsingAnotherPM(), true);
  EXPECT_EQ(apt.isHeld(), false);
  EXPECT_EQ(apt.isEssential(), false);
  EXPECT_EQ(apt.subcategory(), "");
  EXPECT_EQ(apt.name(), "apt");
  EXPECT_EQ(apt.maintainer(), "Example Bootstrap Team");
  EXPECT_EQ(apt.contact(), "bootstrap@example.org");
  EXPECT_EQ(apt.category(), "Packaging");
  EXPECT_EQ(apt.price(), "Free");
  EXPECT_EQ(apt.iconURL(), KVRPackage::defaultIconURLForIdentifier("apt"));
  EXPECT_EQ(apt.postinstallaction(), "");
  EXPECT_FALSE(apt.website());
  EXPECT_EQ(apt.isUpdated(), false);
  EXPECT_NE(std::find(apt.dependencies().begin(), apt.dependencies().end(), "libiosexec1(>=1.3.1)"), apt.dependencies().end());
  EXPECT_NE(std::find(apt.replaces().begin(), apt.replaces().end(), "apt-key"), apt.replaces().end());
  // The file list: every line, and the empty item after the final line feed.
  ASSERT_EQ(apt.installedFiles().size(), 9u);
  EXPECT_EQ(apt.installedFiles().back(), "");
  EXPECT_EQ(apt.installedFiles()[7], "/var/jb/usr/libexec/apt/planners/dump");
  ASSERT_TRUE(apt.installDate());
  EXPECT_NEAR(apt.installDate()->seconds, Date::now().seconds, 600);  // the list was copied just now
  EXPECT_EQ(apt.initialDateStr(), KVParsingUtility::refreshDateFormatter().format(*apt.installDate()));

  EXPECT_EQ(package("base").isEssential(), true);
  KVRPackage bash = package("bash");  // no file list in the root
  EXPECT_TRUE(bash.installedFiles().empty());
  EXPECT_NEAR(bash.installDate()->seconds, Date::now().seconds, 600);
}

TEST_F(StatusImport, ARealDevicesStatusGivesItsInstalledPackagesWithoutTheVirtualOnes) {
  QB_TESTDATA_OR_SKIP(real, "dpkg/ios15-rootless/Library/dpkg");
  loadDpkg(real, {"apt.list", "base.list", "com.serena.appindex.list"});
  import();
  auto expected = packageNames(real + "/status");
  EXPECT_EQ(expected.size(), 80u);
  std::set<std::string> stored;
  for (const auto& v : db->objects("KVRPackage").valuesForKey("identifier")) stored.insert(v.asString());
  EXPECT_EQ(stored, expected);
  EXPECT_EQ(db->objects("KVRPackage", "identifier BEGINSWITH 'cy+' OR identifier BEGINSWITH 'gsc' OR identifier = 'firmware'")
                .count(),
            0u);
  KVRPackage apt = package("apt");
  EXPECT_EQ(apt.maintainer(), "Procursus Team");
  EXPECT_EQ(apt.contact(), "support@procurs.us");
  ASSERT_EQ(apt.installedFiles().size(), 359u);
  EXPECT_EQ(apt.installedFiles()[358 - 1], "/var/jb/usr/libexec/apt/planners/dump");
  EXPECT_EQ(package("base").isEssential(), true);
}

TEST_F(StatusImport, ASecondImportChangesNothing) {
  import();
  Value before = snapshot();
  std::vector<store::ClassChange> changes;
  auto token = db->observeClass("KVRPackage", [&](const store::ClassChange& c) { changes.push_back(c); });
  db->settle();  // what the first import changed is told before the second
  RunLoop::main().runUntilIdle();
  changes.clear();
  import();
  Value after = snapshot();
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < after.size(); ++i) {
    for (const auto& key : after[i].keys()) {
      EXPECT_EQ(after[i][key], before[i][key]) << after[i]["identifier"].asString() << "." << key << ": "
                                               << after[i][key].toJSON() << " was " << before[i][key].toJSON();
    }
  }
  db->settle();
  RunLoop::main().runUntilIdle();
  EXPECT_TRUE(changes.empty());  // not even a rewrite of the same values
}

TEST_F(StatusImport, HeldPackagesAndMixedCaseNames) {
  replaceInStatus("Package: bash\nStatus: install ok installed", "Package: Bash\nStatus: hold ok installed");
  addFromSource("bash", "5.2.15");
  import();
  KVRPackage bash = package("bash");
  EXPECT_EQ(bash.isHeld(), true);
  EXPECT_EQ(bash.isInstalled(), true);
  EXPECT_EQ(bash.sourceLocation(), "https://repo.example/");  // the source's record, kept
  EXPECT_EQ(bash.price(), "Paid");
  EXPECT_FALSE(KVRPackage::objectForPrimaryKey("Bash"));
}

TEST_F(StatusImport, APackageRemovedFromTheStatusLosesItsInstalledStateOrItsRecord) {
  addFromSource("bash", "5.2.15");
  import();
  EXPECT_EQ(package("bash").isInstalledUsingAnotherPM(), true);
  // dpkg now lists bash with only its configuration files, and apt not at all.
  replaceInStatus("Package: bash\nStatus: install ok installed", "Package: bash\nStatus: deinstall ok config-files");
  replaceInStatus("Package: apt\nStatus: install ok installed", "Package: apt-gone\nStatus: not-installed ok not-installed");
  import();
  KVRPackage bash = package("bash");
  EXPECT_EQ(bash.isInstalled(), false);
  EXPECT_EQ(bash.isUpdated(), false);
  EXPECT_EQ(bash.isInstalledUsingAnotherPM(), false);
  EXPECT_FALSE(KVRPackage::objectForPrimaryKey("apt"));  // known only from dpkg: deleted
  EXPECT_FALSE(KVRPackage::objectForPrimaryKey("apt-gone"));
}

TEST_F(StatusImport, UpdatesFollowTheOfferedAndTheInstalledVersions) {
  addFromSource("apt", "2.8");
  import();
  KVRPackage apt = package("apt");
  EXPECT_EQ(apt.isUpdated(), true);
  EXPECT_EQ(apt.version(), "2.8");
  EXPECT_EQ(apt.installedVersion(), "2.7.1");
  // Upgraded past the offer: the record takes the installed version.
  replaceInStatus("Version: 2.7.1", "Version: 2.9");
  import();
  apt = package("apt");
  EXPECT_EQ(apt.isUpdated(), false);
  EXPECT_EQ(apt.version(), "2.9");
  // The same install date when nothing changed; a new one when the version did.
  Date first = *apt.installDate();
  import();
  EXPECT_EQ(package("apt").installDate()->seconds, first.seconds);
}

TEST_F(StatusImport, FileListsOfOtherArchitecturesDependenciesAndOptionalFields) {
  appendStanza(
      "Package: libfoo\nStatus: install ok installed\nArchitecture: iphoneos-arm64\nMulti-Arch: same\nVersion: 1.0\n"
      "Depends: mobilesubstrate, firmware (>= 14.0), a | b\nAuthor: Ilse Marr <ilse@example.org>\n"
      "Maintainer: Someone <s@example.org>\nName: Foo Library\nIcon: https://icons.example/foo.png\n"
      "Depiction: https://repo.example/foo\nsileodepiction: https://repo.example/foo.json\nTag: cydia::commercial\n\n"
      "Package: bar\nStatus: install ok unpacked\nVersion: 2\nDepends: mobilesubstrate (>= 0.9)\n\n"
      "Package: corwin\nStatus: install ok half-configured\nVersion: 3\nMaintainer: Corwin Vale & Ilse Marr\n");
  Files::writeAtomically(DeviceRoot::devicePath("/Library/dpkg/info/libfoo:iphoneos-arm64.list"),
                         std::string("/.\n/usr/lib/libfoo.dylib\n"));
  Files::writeAtomically(DeviceRoot::devicePath("/Library/dpkg/info/bar.list"), std::string("/bin/\xff\xfe\n"));
  import();
  KVRPackage foo = package("libfoo");
  EXPECT_EQ(foo.installedFiles(), (TextList{"/.", "/usr/lib/libfoo.dylib", ""}));
  EXPECT_EQ(foo.postinstallaction(), "respring");
  EXPECT_EQ(foo.minosversion(), "14.0");
  EXPECT_FALSE(foo.maxosversion());
  EXPECT_EQ(foo.dependencies(), (TextList{"mobilesubstrate", "firmware(>=14.0)", "a OR b"}));
  EXPECT_EQ(foo.maintainer(), "Ilse Marr");  // Author first
  EXPECT_EQ(foo.contact(), "ilse@example.org");
  EXPECT_EQ(foo.name(), "Foo Library");
  EXPECT_EQ(foo.iconURL(), "https://icons.example/foo.png");
  EXPECT_EQ(foo.website(), "https://repo.example/foo");
  EXPECT_EQ(foo.sileoDepiction(), "https://repo.example/foo.json");
  EXPECT_EQ(foo.price(), "Paid");
  EXPECT_EQ(foo.category(), "Default");
  KVRPackage bar = package("bar");
  EXPECT_EQ(bar.postinstallaction(), "");   // a versioned clause is no exact match
  EXPECT_TRUE(bar.installedFiles().empty());  // the list is not UTF-8
  EXPECT_FALSE(bar.contact());
  EXPECT_EQ(bar.maintainer(), "Generic");
  EXPECT_EQ(package("corwin").maintainer(), KVRPackage::kFoldedMaintainerAlias);
}

TEST_F(StatusImport, TheReferenceDateAndTheCategoryRebuild) {
  ManualClock clock;
  Date batch{500000000};
  TestRoot testRoot;
  testRoot.sources->setRefreshDate(batch);
  const auto& rebuilds = testRoot.packages->categoryRebuilds;
  import();
  EXPECT_EQ(package("bash").installDate()->seconds, batch.seconds);  // no file list: the batch's date
  RunLoop::main().runUntilIdle();
  clock.advance(0.9);
  EXPECT_EQ(rebuilds, 0);
  clock.advance(0.2);
  EXPECT_EQ(rebuilds, 1);
  EXPECT_EQ(testRoot.packages->categoryRebuildsOffMain, 0);
}

// Records that can't be written are an error the caller hears, never a quiet success.
TEST_F(StatusImport, ADatabaseThatCannotBeOpenedIsAnErrorForTheCompletion) {
  db.reset();
  store::Configuration unreadable = KVDatabaseMigrationUtility::defaultConfiguration();
  unreadable.path = DeviceRoot::devicePath("/var/mobile/not-a-database");
  ASSERT_TRUE(Files::createDirectories(unreadable.path + "/occupied"));
  store::Database::setDefaultConfiguration(unreadable);
  ErrorRef received = importedWithError();
  ASSERT_NE(received, nullptr);
  EXPECT_EQ(received->domain, KVStatusImportErrorDomain);
  EXPECT_NE(received->localizedDescription().find("The dpkg status import failed"), std::string::npos);
}

// What a package's hook can leave of dpkg's status: a file whose reading stops (a stanza
// past the reader's ceiling comes first), a named pipe, a file larger than any device's.
// None is waited for or taken in, and none is read as "nothing is installed": the
// records stay as the last import left them, and the caller hears why.
TEST_F(StatusImport, AStatusThatCannotBeReadWholeLeavesTheRecordsAsTheyWere) {
  import();
  const Value before = snapshot();
  ASSERT_GT(db->objects("KVRPackage").count(), 0u);
  const std::string status = DeviceRoot::devicePath("/var/lib/dpkg/status");
  auto refused = [&](const std::string& reason) {
    ErrorRef received = importedWithError();
    ASSERT_NE(received, nullptr) << reason;
    EXPECT_EQ(received->code, KVStatusImportErrorUnreadable);
    EXPECT_NE(received->localizedDescription().find(reason), std::string::npos) << received->localizedDescription();
    EXPECT_EQ(snapshot(), before) << reason;
  };
  writeStatus("Package: long\nDescription: " + std::string(KVStanzaReader::kMaximumStanzaBytes, 'x') + "\n\n" +
              readFile(status));
  refused("dpkg's status file /var/lib/dpkg/status holds a stanza larger than 32 MiB");
  ASSERT_TRUE(Files::removeItem(status));
  ASSERT_EQ(::mkfifo(status.c_str(), 0644), 0);
  refused("dpkg's status file /var/lib/dpkg/status is a named pipe, not a regular file");
  ASSERT_TRUE(Files::removeItem(status));
  ASSERT_TRUE(Files::writeAtomically(status, std::string()));
  ASSERT_EQ(::truncate(status.c_str(), 65 << 20), 0);
  refused("dpkg's status file /var/lib/dpkg/status is larger than 64 MiB (65 MiB)");
}

TEST_F(StatusImport, WithoutAStatusFileTheCompletionRunsAtOnceAndNothingChanges) {
  Files::removeItem(DeviceRoot::devicePath("/var/lib/dpkg/status"));
  bool called = false;
  KVParsingUtility::checkStatusFileWithCompletion([&](ErrorRef error) { called = error == nullptr; });
  EXPECT_TRUE(called);
  EXPECT_EQ(db->objects("KVRPackage").count(), 0u);
  KVParsingUtility::checkStatusFileWithCompletion(nullptr);
}

}  // namespace
