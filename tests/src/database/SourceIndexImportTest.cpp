// How a refreshed index becomes package records: one record per identifier across the
// sources, the other versions, the package's state marks, refusals of hostile stanzas,
// and the announcement of a followed source's new packages.
#include <atomic>

#include "support/SourceRefreshFixture.h"
#include "support/Written.h"
#include "database/KVParsingUtility.h"
#include "database/KVSourceIndexImport.h"
#include "database/KVSourceIndexRun.h"
#include "database/KVStanza.h"
#include "foundation/DateFormatter.h"
#include "foundation/NotificationCenter.h"

namespace {

class SourceIndexImport : public SourceRefreshFixture {
 protected:
  // Serves a new index in `folder` and refreshes it.
  void refreshWith(const std::string& folder, const std::string& packages) {
    std::string location = serveIndex(folder, packages);
    ageListFiles(location);
    ASSERT_TRUE(refresh(location));
    ASSERT_EQ(source(location)->hasErrors(), false);
  }
  std::vector<std::string> versionsOf(const std::string& identifier) {
    std::vector<std::string> out;
    auto record = package(identifier);
    for (const auto& v : record->availableVersions()) out.push_back(v.version().value_or(""));
    return out;
  }
  void markInstalled(const std::string& identifier, const std::string& version, const std::string& sourceLocation) {
    written(db()->write([&] {
      KVRPackage p = package(identifier).value_or(KVRPackage());
      p.setIdentifier(identifier);
      p.setIsInstalled(true);
      p.setInstalledVersion(version);
      p.setSourceLocation(sourceLocation);
      db()->addOrUpdate(p.toObject());
    }));
  }
};

TEST_F(SourceIndexImport, OneRecordPerIdentifierWithEveryVersion) {
  refreshWith("repo", stanza("aa", "1.0", {{"Name", "Lower"}}) + stanza("AA", "2.0", {{"Name", "Upper"}}) +
                          stanza("aa", "1.5"));
  auto aa = package("aa");
  ASSERT_TRUE(aa);
  EXPECT_EQ(aa->identifier(), "aa");
  EXPECT_EQ(aa->version(), "2.0");
  EXPECT_EQ(aa->name(), "Upper");
  EXPECT_EQ(versionsOf("aa"), (std::vector<std::string>{"1.0", "2.0", "1.5"}));
  EXPECT_EQ(packagesOf(locationOf("repo")).size(), 1u);
  EXPECT_EQ(aa->availableVersions()[0].fileLocation(), locationOf("repo") + "debs/aa_1.0.deb");
}

TEST_F(SourceIndexImport, TheHighestVersionAmongSourcesHoldsTheRecordWhicheverIsParsedFirst) {
  for (bool higherFirst : {true, false}) {
    SCOPED_TRACE(higherFirst);
    written(db()->write([&] { db()->deleteAll(); }));
    std::string round = higherFirst ? "1" : "2";
    std::string high = locationOf("high" + round), low = locationOf("low" + round);
    auto refreshHigh = [&] { refreshWith("high" + round, stanza("xx", "2.0", {{"Name", "From high"}})); };
    auto refreshLow = [&] { refreshWith("low" + round, stanza("xx", "1.0", {{"Name", "From low"}})); };
    if (higherFirst) {
      refreshHigh();
      refreshLow();
    } else {
      refreshLow();
      refreshHigh();
    }
    auto x = package("xx");
    ASSERT_TRUE(x);
    EXPECT_EQ(x->version(), "2.0");
    EXPECT_EQ(x->sourceLocation(), high);
    EXPECT_EQ(x->name(), "From high");
    std::vector<std::string> sources;
    for (const auto& v : x->availableVersions()) sources.push_back(v.source().value_or(""));
    EXPECT_EQ(sources.size(), 2u);
    EXPECT_NE(std::find(sources.begin(), sources.end(), low), sources.end());
  }
}

TEST_F(SourceIndexImport, StateMarksFollowTheInstalledVersionAndThePackagesOrigin) {
  refreshWith("repo", stanza("com.example.tool", "1.1"));
  std::string location = locationOf("repo");
  markInstalled("com.example.tool", "1.0", location);
  refreshWith("repo", stanza("com.example.tool", "1.1") + stanza("zz", "1"));
  EXPECT_EQ(package("com.example.tool")->isUpdated(), false) << "the same version again";
  refreshWith("repo", stanza("com.example.tool", "1.2"));
  EXPECT_EQ(package("com.example.tool")->isUpdated(), true);

  // A package that only dpkg knew is now offered by the source.
  markInstalled("com.example.dpkg", "1.0", KVRPackage::kDPKGSourceLocation);
  refreshWith("repo", stanza("com.example.dpkg", "1.0") + stanza("com.example.essential", "1.0", {{"Essential", "YES"}}));
  auto dpkg = package("com.example.dpkg");
  EXPECT_EQ(dpkg->sourceLocation(), location);
  EXPECT_EQ(dpkg->isInstalledUsingAnotherPM(), true);
  EXPECT_EQ(package("com.example.essential")->isUpdated(), true) << "Essential in any case";
}

TEST_F(SourceIndexImport, FieldsArriveAsTheStanzaSaysThem) {
  refreshWith("repo", stanza("com.example.paid", "1.0",
                             {{"Tag", "purpose::extension, cydia::commercial"},
                              {"Depends", "mobilesubstrate, firmware (>= 12.0), com.example.lib (>= 1.0)"},
                              {"Pre-Depends", "dpkg"},
                              {"Author", "Ann Author <ann@example.org>"},
                              {"Maintainer", "Someone Else <else@example.org>"},
                              {"Depiction", "https://example.org/depiction"},
                              {"SileoDepiction", "https://example.org/native.json"},
                              {"Icon", "https://example.org/icon.png"},
                              {"Conflicts", "com.example.old"},
                              {"Replaces", "com.example.old"},
                              {"Provides", "com.example.api"},
                              {"Size", "1234"},
                              {"Description", "A paid tweak"}}) +
                          stanza("com.example.lowercase", "1.0", {{"tag", "cydia::commercial"}}) +
                          stanza("com.example.free", "1.0"));
  auto paid = package("com.example.paid");
  ASSERT_TRUE(paid);
  EXPECT_EQ(paid->price(), "Paid");
  EXPECT_EQ(package("com.example.lowercase")->price(), "Paid");
  EXPECT_EQ(package("com.example.free")->price(), "Free");
  EXPECT_EQ(paid->postinstallaction(), "respring");
  EXPECT_EQ(package("com.example.free")->postinstallaction(), "");
  EXPECT_EQ(paid->maintainer(), "Ann Author");
  EXPECT_EQ(paid->contact(), "ann@example.org");
  EXPECT_EQ(paid->website(), "https://example.org/depiction");
  EXPECT_EQ(paid->sileoDepiction(), "https://example.org/native.json");
  EXPECT_EQ(paid->iconURL(), "https://example.org/icon.png");
  EXPECT_EQ(package("com.example.free")->iconURL(), KVRPackage::defaultIconURLForIdentifier("com.example.free"));
  EXPECT_EQ(paid->minosversion(), "12.0");
  EXPECT_EQ(paid->conflicts(), std::vector<std::string>{"com.example.old"});
  EXPECT_EQ(paid->provides(), std::vector<std::string>{"com.example.api"});
  EXPECT_EQ(paid->replaces(), std::vector<std::string>{"com.example.old"});
  EXPECT_EQ(paid->size(), "1234");
  EXPECT_EQ(paid->category(), "Default");
  EXPECT_EQ(paid->Description(), "A paid tweak");
  EXPECT_EQ(paid->hasNewVersion(), false);
  EXPECT_EQ(paid->location(), locationOf("repo") + "debs/com.example.paid_1.0.deb");
  auto& deps = paid->dependencies();
  EXPECT_NE(std::find(deps.begin(), deps.end(), "dpkg"), deps.end());
}

TEST_F(SourceIndexImport, DatesMoveOnlyWhenTheOfferedVersionRises) {
  refreshWith("repo", stanza("com.example.one", "1.0"));
  written(db()->write([&] {
    auto p = *package("com.example.one");
    p.setUpdatedDateStr(std::string("2000-01-01 00:00"));
    p.setInitialDateStr(std::string("2000-01-01 00:00"));
    db()->addOrUpdate(p.toObject());
  }));
  refreshWith("repo", stanza("com.example.one", "1.0") + stanza("zz", "1"));
  EXPECT_EQ(package("com.example.one")->updatedDateStr(), "2000-01-01 00:00");
  EXPECT_EQ(package("com.example.one")->hasNewVersion(), true);
  refreshWith("repo", stanza("com.example.one", "1.1"));
  auto one = package("com.example.one");
  EXPECT_NE(one->updatedDateStr(), "2000-01-01 00:00");
  EXPECT_EQ(one->updatedDateStr(), KVParsingUtility::refreshDateFormatter().format(*one->updatedDate()));
  EXPECT_EQ(one->initialDateStr(), "2000-01-01 00:00");
}

// A source that replaces its version by a lower one takes the record down with it, unless
// another source still offers more; an index listing the old version again keeps it.
TEST_F(SourceIndexImport, ASourceThatLowersItsVersionTakesTheRecordDown) {
  std::string location = locationOf("repo");
  refreshWith("repo", stanza("com.example.tool", "1.0"));
  markInstalled("com.example.tool", "1.0", location);
  refreshWith("repo", stanza("com.example.tool", "1.0+b1"));
  EXPECT_EQ(package("com.example.tool")->isUpdated(), true);
  const auto updated = package("com.example.tool")->updatedDateStr();
  refreshWith("repo", stanza("com.example.tool", "1.0~rc1"));
  auto tool = package("com.example.tool");
  EXPECT_EQ(tool->version(), "1.0~rc1");
  EXPECT_EQ(tool->location(), location + "debs/com.example.tool_1.0~rc1.deb");
  EXPECT_EQ(tool->isUpdated(), false) << "no source offers more than what is installed";
  EXPECT_EQ(tool->updatedDateStr(), updated);

  refreshWith("repo", stanza("com.example.tool", "1.0+b1"));
  const auto raised = package("com.example.tool")->updatedDateStr();
  refreshWith("repo", stanza("com.example.tool", "1.0~rc1") + stanza("com.example.tool", "1.0+b1"));
  EXPECT_EQ(package("com.example.tool")->version(), "1.0+b1") << "still offered";
  EXPECT_EQ(package("com.example.tool")->updatedDateStr(), raised);

  // Another source offering the same version keeps the record when this one lowers it.
  refreshWith("other", stanza("com.example.tool", "2.0"));
  refreshWith("repo", stanza("com.example.tool", "2.0"));
  refreshWith("repo", stanza("com.example.tool", "1.0~rc2"));
  EXPECT_EQ(package("com.example.tool")->version(), "2.0");
}

// A source that lowers every version at once (a repository rebuilt from older
// archives): after the refresh no record shows a version its index no longer offers.
TEST_F(SourceIndexImport, ASourceThatLowersEveryVersionLeavesNoRecordAtTheOldOne) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  const size_t count = 20'000;  // the checkers make each record cost many times more
#else
  const size_t count = 50'000;
#endif
  auto index = [&](const std::string& version) {
    std::string text;
    for (size_t i = 0; i < count; ++i) {
      const std::string name = "com.example.p" + std::to_string(i);
      text += "Package: " + name + "\nVersion: " + version + "\nFilename: debs/" + name + ".deb\n\n";
    }
    return text;
  };
  FlatRepositoryOptions plain;
  plain.compressedIndexes = false;
  const std::string location = serveIndex("repo", index("2+b"), plain);
  ASSERT_TRUE(refresh(location));
  ASSERT_EQ(source(location)->totalPackages(), std::to_string(count));
  serveIndex("repo", index("1"), plain);
  ageListFiles(location);
  ASSERT_TRUE(refresh(location));
  ASSERT_EQ(source(location)->hasErrors(), false);
  auto old = KVRPackage::objectsWhere("version = %@", "2+b");
  EXPECT_EQ(old.count(), 0u) << "for example " << (old.count() ? old.first()->identifier() : "");
  EXPECT_EQ(KVRPackage::objectsWhere("version = %@", "1").count(), count);
}

// The ceilings stop an index where it passes them and nothing of it is written: the
// source's on its entries, the database's on the records of every source, which lets a
// database already past it refresh a source that does not make it larger. (Applied as
// the refresh applies them, with ceilings lowered to keep the indexes small.)
TEST_F(SourceIndexImport, TheCeilingsStopAnIndexWhereItPassesThem) {
  refreshWith("a", stanza("com.example.a1", "1.0") + stanza("com.example.a2", "1.0"));
  const std::string b = locationOf("b");
  addSourceRecord(b);
  size_t asked = 0;
  auto apply = [&](size_t count, size_t maxEntries, size_t maxRecords, std::vector<std::string> ids = {}) {
    for (size_t i = 0; i < count; ++i) ids.push_back("com.example.b" + std::to_string(i));
    KVIndexEntry::Context context;
    context.setLocation(b);
    context.systemVersion = "14.4";
    std::vector<KVIndexEntry> entries(ids.size());
    for (size_t i = 0; i < ids.size(); ++i) {
      KVStanza text;
      text.set("Package", ids[i]);
      text.set("Version", "1.0");
      text.set("Filename", ids[i] + ".deb");
      EXPECT_TRUE(entries[i].read(text, context));
    }
    KVSourceIndexImport::Settings settings{b, Date{0}, "2026-01-01 00:00", std::nullopt, maxEntries, maxRecords};
    KVSourceIndexImport import(std::move(settings));
    KVSourceIndexImport::Outcome outcome;
    asked = 0;
    ErrorRef error = import.apply(
        *db(), [&]() -> KVIndexEntry* { return asked < entries.size() ? &entries[asked++] : (++asked, nullptr); }, nullptr,
        outcome);
    EXPECT_EQ(error != nullptr, outcome.ceiling != KVSourceIndexImport::Ceiling::None);
    return outcome.ceiling;
  };
  using Ceiling = KVSourceIndexImport::Ceiling;
  EXPECT_EQ(apply(4, 2, 100), Ceiling::SourceEntries);
  EXPECT_EQ(asked, 3u) << "not a stanza more than the one past the ceiling";
  EXPECT_EQ(apply(400, 1000, 100), Ceiling::DatabaseRecords);
  EXPECT_LT(asked, 400u) << "stopped while the records come";
  EXPECT_EQ(apply(2, 10, 3), Ceiling::DatabaseRecords) << "2 records and 2 new ones";
  EXPECT_TRUE(packagesOf(b).empty());
  EXPECT_EQ(apply(1, 10, 3, {"com.example.a1"}), Ceiling::None) << "1 new, 1 taken over";
  EXPECT_EQ(packagesOf(b).size(), 2u);
  EXPECT_EQ(apply(1, 10, 2, {"com.example.a1"}), Ceiling::None) << "past the ceiling, but no larger";
  EXPECT_EQ(apply(2, 10, 2, {"com.example.a1"}), Ceiling::DatabaseRecords);
  EXPECT_EQ(packagesOf(b).size(), 2u);
  EXPECT_EQ(KVRPackage::allObjects().count(), 3u);
}

// The device runs 14.4 (the device root's default).
TEST_F(SourceIndexImport, IncompatiblePackagesAreLeftOutUnlessAskedFor) {
  std::string index = stanza("com.example.old", "1.0", {{"Depends", "firmware (<< 13.0)"}}) + stanza("ok", "1.0");
  refreshWith("repo", index);
  EXPECT_FALSE(package("com.example.old"));
  preferences().setObject(Value(true), "ShowIncompatiblePackages");
  refreshWith("repo", index + stanza("zz", "1"));
  ASSERT_TRUE(package("com.example.old"));
  EXPECT_EQ(package("com.example.old")->maxosversion(), "13.0");

  // Hidden again: the existing record is neither updated nor deleted.
  preferences().setObject(Value(false), "ShowIncompatiblePackages");
  refreshWith("repo", stanza("com.example.old", "2.0", {{"Depends", "firmware (<< 13.0)"}}) + stanza("ok", "1.0"));
  ASSERT_TRUE(package("com.example.old"));
  EXPECT_EQ(package("com.example.old")->version(), "1.0");
}

// Identifiers and versions are a remote server's: what is no Debian package name or
// version is refused, the rest of the index applied.
TEST_F(SourceIndexImport, HostileStanzasAreRefusedAndTheRestApplied) {
  refreshWith("repo", stanza("../../etc/passwd", "1.0") + stanza("com.example.one", "1.0;reboot") +
                          stanza("com.example.two", "$(id)") + stanza("a b", "1.0") + stanza("com.example.ok", "1:1.0~b1-2"));
  auto all = packagesOf(locationOf("repo"));
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].identifier(), "com.example.ok");
  EXPECT_EQ(source(locationOf("repo"))->totalPackages(), "1");
}

TEST_F(SourceIndexImport, AFollowedSourceAnnouncesItsNewPackagesOnce) {
  refreshWith("repo", stanza("com.example.one", "1.0"));
  std::vector<Value> announcements;
  auto token = NotificationCenter::defaultCenter().addObserver(
      "ShowNewSourcePackages", [&](const Notification& n) { announcements.push_back(n.userInfo); });
  refreshWith("repo", stanza("com.example.one", "1.0") + stanza("com.example.two", "1.0"));
  EXPECT_TRUE(announcements.empty()) << "a source nobody follows announces nothing";

  written(db()->write([&] {
    auto record = *source(locationOf("repo"));
    record.setIsFollowed(true);
    db()->addOrUpdate(record.toObject());
  }));
  refreshWith("repo", stanza("com.example.one", "1.0") + stanza("com.example.two", "1.0") +
                          stanza("com.example.three", "1.0") + stanza("com.example.four", "1.0"));
  token.invalidate();
  ASSERT_EQ(announcements.size(), 1u);
  auto identifiers = announcements[0]["Identifiers"];
  ASSERT_EQ(identifiers.size(), 2u);
  EXPECT_EQ(announcements[0]["SourceName"].asString(), "Test Repository");
  std::set<std::string> got{identifiers[0].asString(), identifiers[1].asString()};
  EXPECT_EQ(got, (std::set<std::string>{"com.example.three", "com.example.four"}));
}

// Each record is written once per run, whatever the number of its versions.
TEST_F(SourceIndexImport, ManyVersionsOfOnePackageAreAllKept) {
  std::string index;
  for (int i = 1; i <= 1600; ++i) index += stanza("com.example.many", "1." + std::to_string(i));
  refreshWith("repo", index);
  auto many = package("com.example.many");
  ASSERT_TRUE(many);
  EXPECT_EQ(many->version(), "1.1600");
  EXPECT_EQ(many->availableVersions().size(), 1600u);
  EXPECT_EQ(KVRPackageVersion::allObjects().count(), 1600u);
}

// A package new to the database whose versions lie far apart in the index: its record,
// written in between, is found again and takes the later version.
TEST_F(SourceIndexImport, VersionsFarApartInANewSourceMakeOneRecord) {
  std::string index = stanza("com.example.early", "1.0");
  for (size_t i = 0; i < KVSourceIndexImport::kPendingRecords + 50; ++i)
    index += stanza("com.example.p" + std::to_string(i), "1.0");
  index += stanza("com.example.early", "2.0");
  refreshWith("repo", index);
  auto early = package("com.example.early");
  ASSERT_TRUE(early);
  EXPECT_EQ(early->version(), "2.0");
  EXPECT_EQ(versionsOf("com.example.early"), (std::vector<std::string>{"1.0", "2.0"}));
  EXPECT_EQ(packagesOf(locationOf("repo")).size(), KVSourceIndexImport::kPendingRecords + 51);
}

// Records are made once and filled again from one package to the next: a new package
// after installed ones that were read, marked and written keeps nothing of theirs, and
// the installed ones after it keep their own versions.
TEST_F(SourceIndexImport, ANewRecordKeepsNothingOfARecordWrittenBeforeIt) {
  // The records of the first kept ones come back to the reading of the last ones.
  const size_t kept = 40, total = KVSourceIndexImport::kPendingRecords + KVSourceIndexRun::kWaitingEntries + kept;
  auto isKept = [&](size_t i) { return i < kept || i >= total - kept; };
  written(db()->write([&] {
    for (size_t i = 0; i < total; ++i) {
      if (!isKept(i)) continue;
      KVRPackage p;
      p.setIdentifier("com.example.p" + std::to_string(i));
      p.setIsInstalled(true);
      p.setInstalledVersion("0.9");
      p.setInstallDate(Date{1000});
      p.setSourceLocation(KVRPackage::kDPKGSourceLocation);
      p.setIsHeld(true);
      p.setIsInWishlist(true);
      p.setMyRating(4);
      p.setInstalledFiles({"/usr/bin/tool"});
      p.setScreenshots({"https://example.org/shot.png"});
      p.setAvailableVersions({KVRPackageVersion::packageVersionWithSourceLocation("https://other.example/", "a.deb", "0.8").value()});
      db()->add(p.toObject());
    }
  }));
  std::string index;
  for (size_t i = 0; i < total; ++i) index += stanza("com.example.p" + std::to_string(i), "1.0");
  refreshWith("repo", index);
  for (size_t i = 0; i < total; ++i) {
    auto p = package("com.example.p" + std::to_string(i));
    ASSERT_TRUE(p);
    if (isKept(i)) {
      ASSERT_EQ(p->isInstalledUsingAnotherPM(), true) << i;
      ASSERT_EQ(versionsOf(p->identifier()), (std::vector<std::string>{"0.8", "1.0"})) << i;
      continue;
    }
    ASSERT_EQ(p->isInstalled(), false) << i;
    ASSERT_EQ(p->installedVersion(), std::nullopt) << i;
    ASSERT_EQ(p->installDate(), std::nullopt) << i;
    ASSERT_EQ(p->isHeld(), false) << i;
    ASSERT_EQ(p->isInWishlist(), std::nullopt) << i;
    ASSERT_EQ(p->myRating(), std::nullopt) << i;
    ASSERT_EQ(p->isInstalledUsingAnotherPM(), std::nullopt) << i;
    ASSERT_TRUE(p->installedFiles().empty() && p->screenshots().empty()) << i;
    ASSERT_EQ(versionsOf(p->identifier()), std::vector<std::string>{"1.0"}) << i;
  }
}

}  // namespace
