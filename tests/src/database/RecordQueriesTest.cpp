// Every query the managers and screens run on the records (predicate texts, sorts,
// distinct values, bulk sets), on the real record classes, so that a property name the
// records lack or a form the store cannot read shows here rather than in a screen.
#include <gtest/gtest.h>

#include "database/KVRDeveloper.h"
#include "database/KVRPackage.h"
#include "database/KVRSearchHistory.h"
#include "database/KVRSource.h"
#include "support/RecordsDatabase.h"
#include "support/Written.h"

namespace {

using Ids = std::vector<std::string>;
const std::string kSource = "https://repo.example/";
const std::string kOther = "https://other.example/";

// Three packages, in database order:
// - "com.example.tweak": installed with an update, new version, compatibility unknown;
// - "com.example.theme": queued, wished for, bought, known not to work, subcategory "Dark";
// - "cy+cpu.arm64": a held, essential package known only from dpkg, subcategory "".
struct RecordQueries : RecordsDatabase {
  void SetUp() override {
    RecordsDatabase::SetUp();

    KVRPackage tweak;
    tweak.setIdentifier("com.example.tweak");
    tweak.setName(std::string("Tweak"));
    tweak.setMaintainer(std::string("Dév"));
    tweak.setSourceLocation(kSource);
    tweak.setCategory(std::string("Tweaks"));
    tweak.setUpdatedDateStr(std::string("2024-01-02 03:04"));
    tweak.setIsInstalled(true);
    tweak.setIsUpdated(true);
    tweak.setHasNewVersion(true);
    tweak.setInstallDate(Date{700000000});
    tweak.setAvailableVersions({*KVRPackageVersion::packageVersionWithSourceLocation(kSource, "a.deb", "1.1"),
                                *KVRPackageVersion::packageVersionWithSourceLocation(kOther, "a.deb", "1.0")});
    KVRPackage theme;
    theme.setIdentifier("com.example.theme");
    theme.setName(std::string("Theme"));
    theme.setMaintainer(std::string("dev"));
    theme.setSourceLocation(kSource);
    theme.setCategory(std::string("Themes"));
    theme.setSubcategory(std::string("Dark"));
    theme.setUpdatedDateStr(std::string("2024-01-01 00:00"));
    theme.setHasNewVersion(true);
    theme.setIsPaidThroughSileo(true);
    theme.setIsInWishlist(true);
    theme.setIsInTheQueue(true);
    theme.setTweakCompatibleStatus(1);
    KVRPackage pseudo;
    pseudo.setIdentifier("cy+cpu.arm64");
    pseudo.setName(std::string("cy+cpu.arm64"));
    pseudo.setSourceLocation(std::string(KVRPackage::kDPKGSourceLocation));
    pseudo.setCategory(std::string("Default"));
    pseudo.setSubcategory(std::string());
    pseudo.setIsInstalled(true);
    pseudo.setIsUpdated(true);
    pseudo.setIsHeld(true);
    pseudo.setIsEssential(true);
    pseudo.setInstallDate(Date{600000000});

    auto followed = KVRSource::newSourceWithLocation(kSource);
    followed.setName(std::string("B repository"));
    followed.setHasEndpoint(true);
    auto other = KVRSource::newSourceWithLocation(kOther);
    other.setName(std::string("A repository"));
    KVRDeveloper developer;
    developer.setName("dév");
    developer.setIsFollowed(true);
    KVRDeveloper unfollowed;
    unfollowed.setName("someone");
    KVRSearchHistory older, newer;
    older.setDate(Date{1000});
    older.setSearch("older");
    newer.setDate(Date{2000});
    newer.setSearch("newer");
    written(db->write([&] {
      for (const auto& p : {tweak, theme, pseudo}) db->add(p.toObject());
      db->add(followed.toObject());
      db->add(other.toObject());
      db->add(developer.toObject());
      db->add(unfollowed.toObject());
      db->add(older.toObject());
      db->add(newer.toObject());
    }));
  }
  Ids ids(const store::TypedResults<KVRPackage>& r) {
    Ids out;
    for (const auto& v : r.valuesForKey("identifier")) out.push_back(v.asString());
    return out;
  }
  Ids texts(const store::Results& r, const std::string& key) {
    Ids out;
    for (const auto& v : r.valuesForKey(key)) out.push_back(v.isNull() ? "<nil>" : v.asString());
    return out;
  }
};

TEST_F(RecordQueries, EveryPackagePredicateOfTheManagersAndScreens) {
  const Ids tweak{"com.example.tweak"}, theme{"com.example.theme"}, pseudo{"cy+cpu.arm64"}, none{};
  const Ids both{"com.example.tweak", "com.example.theme"}, installed{"com.example.tweak", "cy+cpu.arm64"};
  struct Case {
    const char* predicate;
    std::vector<Value> args;
    Ids expected;
  };
  const std::vector<Case> cases = {
      {"sourceLocation = %@", {kSource}, both},
      {"sourceLocation = %@ AND tweakCompatibleStatus != 1", {kSource}, tweak},
      {"sourceLocation = %@ AND category = %@", {kSource, "Themes"}, theme},
      {"sourceLocation = %@ AND category = %@ AND tweakCompatibleStatus != 1", {kSource, "Tweaks"}, tweak},
      {"sourceLocation = %@ AND isInstalled = 1", {kSource}, tweak},
      {"sourceLocation = %@ AND isInstalled = 0", {kSource}, theme},  // NO by default, never absent
      {"sourceLocation = %@ AND isPaidThroughSileo = 1", {kSource}, theme},
      {"isPaidThroughSileo = 1 AND sourceLocation = %@", {kSource}, theme},
      {"isPaidThroughSileo = 1", {}, theme},
      {"isPaidThroughCydia = 1", {}, none},
      {"category = %@", {"Tweaks"}, tweak},
      {"category = %@ AND subcategory != nil", {"Themes"}, theme},
      {"category = %@ AND subcategory != nil", {"Tweaks"}, none},
      {"category = %@ AND subcategory = %@", {"Default", ""}, pseudo},
      {"category = %@ AND subcategory = %@ AND tweakCompatibleStatus != 1", {"Themes", "Dark"}, none},
      {"category = %@ AND tweakCompatibleStatus != %i", {"Themes", 1}, none},
      {"tweakCompatibleStatus != 1", {}, installed},  // an unknown status is not 1
      {"tweakCompatibleStatus != %i", {1}, installed},
      {"isInstalled = 1", {}, installed},
      {"isInstalled = 1 AND NOT name BEGINSWITH[cd] 'cy+'", {}, tweak},
      {"isUpdated = 1", {}, installed},
      {"isUpdated = 1 AND isHeld = 0", {}, tweak},
      {"isUpdated = 1 && isHeld = 0", {}, tweak},
      {"isEssential = 1", {}, pseudo},
      {"isInWishlist = 1", {}, theme},
      {"isInWishlist = %@", {true}, theme},
      {"isInTheQueue = 1", {}, theme},
      {"isInTheQueue = %@", {true}, theme},
      {"hasNewVersion = 1", {}, both},
      {"hasNewVersion = 1 AND tweakCompatibleStatus != 1", {}, tweak},
      {"updatedDateStr = %@", {"2024-01-02 03:04"}, tweak},
      {"updatedDateStr = %@ AND tweakCompatibleStatus != 1", {"2024-01-01 00:00"}, none},
      {"updatedDateStr = %@ AND hasNewVersion = 1", {"2024-01-01 00:00"}, theme},
      {"updatedDateStr = %@ AND hasNewVersion = 1 AND tweakCompatibleStatus != 1", {"2024-01-02 03:04"}, tweak},
      {"name contains[cd] %@ AND NOT name BEGINSWITH[cd] 'cy+'", {"E"}, both},
      {"name contains[cd] %@ AND NOT name BEGINSWITH[cd] 'cy+'", {"CPU"}, none},
      {"name contains[cd] %@ AND NOT name BEGINSWITH[cd] 'cy+' AND tweakCompatibleStatus != 1", {"e"}, tweak},
      {"maintainer contains[cd] %@ AND NOT name BEGINSWITH[cd] 'cy+'", {"DEV"}, both},
      {"maintainer contains[cd] %@ AND NOT name BEGINSWITH[cd] 'cy+' AND tweakCompatibleStatus != 1", {"dév"}, tweak},
      {"name BEGINSWITH[cd] %@ AND NOT name BEGINSWITH[cd] 'cy+'", {"t"}, both},
      {"name BEGINSWITH[cd] %@ AND NOT name BEGINSWITH[cd] 'cy+' AND tweakCompatibleStatus != 1", {"T"}, tweak},
      {"maintainer BEGINSWITH[cd] %@ AND NOT name BEGINSWITH[cd] 'cy+'", {"DE"}, both},
      {"maintainer BEGINSWITH[cd] %@ AND NOT name BEGINSWITH[cd] 'cy+' AND tweakCompatibleStatus != 1", {"de"}, tweak},
      {"maintainer = %@", {"Dév"}, tweak},
      {"maintainer = %@ AND tweakCompatibleStatus != %i", {"dev", 1}, none},
      {"maintainer = %@ AND identifier != %@", {"Dév", "com.example.tweak"}, none},
      {"maintainer = %@ AND identifier != %@ AND tweakCompatibleStatus != %i", {"Dév", "com.other", 1}, tweak},
      {"maintainer ==[cd] %@", {"DEV"}, both},  // accents and case ignored
      {"identifier = %@", {"com.example.tweak"}, tweak},
      {"identifier ==[c] %@", {"COM.EXAMPLE.TWEAK"}, tweak},
      {"identifier IN[c] %@", {Value::array({"Com.Example.Tweak", "other"})}, tweak},
      {"identifier ==[c] 'Com.Example.Tweak' OR identifier ==[c] 'COM.EXAMPLE.THEME'", {}, both},
      {"identifier contains[cd] %@ AND isInstalled = %@", {"EXAMPLE", true}, tweak},
  };
  for (const auto& cs : cases) {
    EXPECT_EQ(ids(store::TypedResults<KVRPackage>(db->objectsWhere("KVRPackage", cs.predicate, cs.args))), cs.expected)
        << cs.predicate;
  }
}

TEST_F(RecordQueries, PackageSortsDistinctValuesAndBulkSets) {
  auto all = store::allObjects<KVRPackage>(*db);
  EXPECT_EQ(texts(all.distinct({"category"}).sorted("category").results(), "category"), (Ids{"Default", "Themes", "Tweaks"}));
  EXPECT_EQ(texts(store::objectsWhere<KVRPackage>(*db, "sourceLocation = %@", kSource)
                      .distinct({"category"})
                      .sorted("category")
                      .results(),
                  "category"),
            (Ids{"Themes", "Tweaks"}));
  EXPECT_EQ(texts(store::objectsWhere<KVRPackage>(*db, "category = %@ AND subcategory != nil", "Themes")
                      .distinct({"subcategory"})
                      .sorted("subcategory")
                      .results(),
                  "subcategory"),
            (Ids{"Dark"}));
  EXPECT_EQ(texts(store::objectsWhere<KVRPackage>(*db, "hasNewVersion = 1")
                      .distinct({"updatedDateStr"})
                      .sorted("updatedDateStr", false)
                      .results(),
                  "updatedDateStr"),
            (Ids{"2024-01-02 03:04", "2024-01-01 00:00"}));
  EXPECT_EQ(ids(all.sorted({{"updatedDateStr", false}, {"name", true}})),
            (Ids{"com.example.tweak", "com.example.theme", "cy+cpu.arm64"}));
  for (const char* key : {"name", "maintainer", "sourceLocation", "category", "installDate", "subcategory"}) {
    EXPECT_EQ(all.sorted(key).count(), 3u) << key;
  }
  auto byInstall = store::objectsWhere<KVRPackage>(*db, "isInstalled = 1 AND NOT name BEGINSWITH[cd] 'cy+'");
  EXPECT_EQ(byInstall.sorted("installDate").distinct({"installDate"}).count(), 1u);
  EXPECT_EQ(ids(store::objectsWhere<KVRPackage>(*db, "isInstalled = 1").sorted("installDate", false)),
            (Ids{"com.example.tweak", "cy+cpu.arm64"}));
  EXPECT_EQ(store::objectsWhere<KVRPackage>(*db, "isInTheQueue = 1").sorted("name").count(), 1u);

  // A source's bought marks cleared on the whole result at once.
  written(db->write([&] { store::objectsWhere<KVRPackage>(*db, "isPaidThroughSileo = 1 AND sourceLocation = %@", kSource).setValue("isPaidThroughSileo", false); }));
  EXPECT_EQ(store::objectsWhere<KVRPackage>(*db, "isPaidThroughSileo = 1").count(), 0u);
  EXPECT_EQ(store::objectForPrimaryKey<KVRPackage>(*db, "com.example.theme")->isPaidThroughSileo(), false);
}

TEST_F(RecordQueries, SourcesDevelopersVersionsAndSearches) {
  auto sources = store::allObjects<KVRSource>(*db).sorted("name");
  EXPECT_EQ(texts(sources.results(), "location"), (Ids{kOther, kSource}));
  EXPECT_EQ(sources.indexOfObjectWhere("location = %@", kSource), 1u);
  auto commercial = store::objectsWhere<KVRSource>(*db, "hasEndpoint = 1").sorted("name");
  EXPECT_EQ(texts(commercial.results(), "location"), (Ids{kSource}));

  EXPECT_EQ(texts(store::objectsWhere<KVRDeveloper>(*db, "isFollowed = %@", true).results(), "name"), (Ids{"dév"}));
  EXPECT_EQ(store::objectsWhere<KVRDeveloper>(*db, "name = %@", "dév").count(), 1u);
  EXPECT_EQ(store::objectsWhere<KVRDeveloper>(*db, "name = %@", "dev").count(), 0u);

  auto versions = store::objectsWhere<KVRPackageVersion>(*db, "source = %@", kOther);
  ASSERT_EQ(versions.count(), 1u);
  EXPECT_EQ(versions[0]->version(), "1.0");
  written(db->write([&] { db->deleteObjects(versions.results()); }));
  EXPECT_EQ(store::objectForPrimaryKey<KVRPackage>(*db, "com.example.tweak")->availableVersions().size(), 1u);

  auto searches = store::allObjects<KVRSearchHistory>(*db).sorted("date", false);
  EXPECT_EQ(texts(searches.results(), "search"), (Ids{"newer", "older"}));
}

}  // namespace
