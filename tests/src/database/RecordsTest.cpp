#include <gtest/gtest.h>

#include "core/NSStringHash.h"
#include "database/KVRDeveloper.h"
#include "database/KVRPackage.h"
#include "database/KVRSchema.h"
#include "database/KVRSearchHistory.h"
#include "database/KVRSource.h"
#include "store/Store.h"
#include "support/RecordsDatabase.h"
#include "support/ScopedDeviceRoot.h"
#include "support/TempDir.h"
#include "support/Written.h"

namespace {

using Records = RecordsDatabase;

TEST(RecordFacts, IsFreeOnlyForTheExactZeroAndFreeTexts) {
  KVRPackage p;
  EXPECT_TRUE(p.isFree());
  for (const char* free : {"", "0", "0.00", "Free", "FREE", "free"}) {
    p.setPrice(std::string(free));
    EXPECT_TRUE(p.isFree()) << free;
  }
  for (const char* paid : {"Paid", "1.99", "0.0", " free"}) {
    p.setPrice(std::string(paid));
    EXPECT_FALSE(p.isFree()) << paid;
  }
}

TEST(RecordFacts, SchemaKeysRequiredPropertiesAndDefaults) {
  auto schema = KVRSchema::schema();
  auto pkg = schema.get("KVRPackage");
  ASSERT_TRUE(pkg->primaryKey());
  EXPECT_EQ(pkg->primaryKey()->name, "identifier");
  EXPECT_EQ(pkg->size(), 53u);
  EXPECT_TRUE(pkg->find("installState")->isOptional) << "dpkg's state of an unfinished install, none for the others";
  EXPECT_TRUE(pkg->find("architecture")->isOptional) << "none for a package known only from dpkg";
  EXPECT_EQ(pkg->property(0).name, "rawPackage");  // declaration order
  EXPECT_EQ(pkg->find("isInstalled")->defaultValue, Value(false));
  EXPECT_EQ(pkg->find("isHeld")->defaultValue, Value(false));
  EXPECT_TRUE(pkg->find("isUpdated")->defaultValue.isNull());
  EXPECT_TRUE(pkg->find("isUpdated")->isOptional);
  EXPECT_FALSE(pkg->find("identifier")->isOptional);
  EXPECT_EQ(pkg->find("availableVersions")->objectClass, "KVRPackageVersion");
  EXPECT_EQ(schema.get("KVRSource")->primaryKey()->name, "location");
  EXPECT_EQ(schema.get("KVRSource")->size(), 24u);
  auto dev = schema.get("KVRDeveloper");
  EXPECT_FALSE(dev->primaryKey());
  EXPECT_FALSE(dev->find("isFollowed")->isOptional);
  EXPECT_EQ(dev->find("packagesCount")->type, store::PropertyType::Int);
  EXPECT_FALSE(schema.get("KVRSearchHistory")->find("date")->isOptional);
  EXPECT_EQ(KVRPackage::defaultPropertyValues(), Value::dict({{"isInstalled", false}, {"isHeld", false}}));
  EXPECT_EQ(KVRDeveloper::requiredProperties(), (std::vector<std::string>{"name", "isFollowed", "packagesCount"}));
}

TEST(RecordFacts, ANewSourceShowsItsLocationUntilItsFirstRefresh) {
  auto s = KVRSource::newSourceWithLocation("https://repo.example/");
  EXPECT_EQ(s.name(), "https://repo.example/");
  EXPECT_EQ(s.location(), "https://repo.example/");
  EXPECT_EQ(s.Description(), " ");
  EXPECT_EQ(s.totalPackages(), " ");
  EXPECT_EQ(s.isFollowed(), false);
  EXPECT_EQ(s.isUsingInfoJson(), false);
  ASSERT_TRUE(s.addingDate());
  EXPECT_EQ(s.addingDate()->size(), 19u);  // "2024-01-02 03:04:05"
  EXPECT_EQ(s.objectId(), 0);
}

TEST(RecordFacts, PackageVersionsNeedAllThreeTexts) {
  EXPECT_FALSE(KVRPackageVersion::packageVersionWithSourceLocation("https://r.example/", "debs/a.deb", std::nullopt));
  EXPECT_FALSE(KVRPackageVersion::packageVersionWithSourceLocation(std::nullopt, "a.deb", "1.0"));
  auto v = KVRPackageVersion::packageVersionWithSourceLocation("https://r.example/repo/", "./debs/a b.deb", "1.0");
  ASSERT_TRUE(v);
  EXPECT_EQ(v->fileLocation(), "https://r.example/repo/./debs/a%20b.deb");
  EXPECT_EQ(v->description(), "version: 1.0, source: https://r.example/repo/ fileLocation: https://r.example/repo/./debs/a%20b.deb");
  auto noSlash = KVRPackageVersion::packageVersionWithSourceLocation("https://r.example/repo", "a.deb", "2");
  EXPECT_EQ(noSlash->fileLocation(), "https://r.example/repo/a.deb");
}

TEST(RecordFacts, TheIconPathIsTheDigestOfTheIconAddress) {
  {
    ScopedDeviceRoot root("/tmp/device-x");
    KVRPackage p;
    p.setIconURL(std::string("https://icons.example/a.png"));
    EXPECT_EQ(p.iconPath(), "/tmp/device-x/var/mobile/Library/Application Support/Quillbark/IconCache/" +
                                NSStringHash::MD5Hash("https://icons.example/a.png") + ".png");
  }
  EXPECT_EQ(KVRPackage::defaultIconURLForIdentifier("com.a.b"), "https://icons.store.example/icon@2x/com.a.b.png");
  EXPECT_EQ(KVRPackage::foldedMaintainerName("Corwin Vale & Ilse Marr"), KVRPackage::kFoldedMaintainerAlias);
  EXPECT_EQ(KVRPackage::foldedMaintainerName("Someone"), "Someone");
}

TEST_F(Records, APackageRoundTripsWithItsVersionsAndLists) {
  KVRPackage p;
  p.setIdentifier("com.example.tweak");
  p.setName(std::string("Tweak"));
  p.setDependencies({"mobilesubstrate", "a OR b"});
  p.setInstallDate(Date{700000000});
  p.setTweakCompatibleStatus(2);
  p.setAvailableVersions({*KVRPackageVersion::packageVersionWithSourceLocation("https://one.example/", "a.deb", "1.0")});
  written(db->write([&] { db->add(p.toObject()); }));

  auto back = store::objectForPrimaryKey<KVRPackage>(*db, "com.example.tweak");
  ASSERT_TRUE(back);
  EXPECT_GT(back->objectId(), 0);
  EXPECT_EQ(back->isInstalled(), false);  // the defaults
  EXPECT_EQ(back->isHeld(), false);
  EXPECT_FALSE(back->isUpdated());
  EXPECT_EQ(back->dependencies(), (TextList{"mobilesubstrate", "a OR b"}));
  EXPECT_EQ(back->installDate()->seconds, 700000000);
  EXPECT_EQ(back->tweakCompatibleStatus(), 2);
  ASSERT_EQ(back->availableVersions().size(), 1u);
  EXPECT_EQ(back->availableVersions()[0].fileLocation(), "https://one.example/a.deb");

  // Add a version to the stored record and write it back: one more version row.
  auto versions = back->availableVersions();
  versions.push_back(*KVRPackageVersion::packageVersionWithSourceLocation("https://two.example/", "b.deb", "0.9"));
  back->setAvailableVersions(versions);
  back->setIsInstalled(true);
  written(db->write([&] { db->addOrUpdate(back->toObject()); }));
  EXPECT_EQ(db->objects("KVRPackageVersion").count(), 2u);
  EXPECT_EQ(store::objectsWhere<KVRPackage>(*db, "isInstalled = 1").count(), 1u);

  // A second record with the same identifier is refused; deleting the package takes
  // its versions with it.
  ErrorRef refused = db->write([&] { db->add(p.toObject()); });
  ASSERT_NE(refused, nullptr);
  EXPECT_EQ(refused->code, static_cast<int64_t>(store::StoreException::Kind::PrimaryKeyExists));
  written(db->write([&] { db->deleteAllObjects("KVRPackage"); }));
  EXPECT_EQ(db->objects("KVRPackageVersion").count(), 0u);
}

TEST_F(Records, DevelopersAndSearchesAreRowsWithoutKeys) {
  KVRDeveloper d;
  d.setName("corwin");
  d.setIsFollowed(true);
  d.setDeveloperPackagesList({"a", "b"});
  KVRSearchHistory h;
  h.setDate(Date{1000});
  h.setSearch("tweak");
  written(db->write([&] {
    db->add(d.toObject());
    db->add(d.toObject());  // no key: a second row
    db->add(h.toObject());
  }));
  auto developers = store::objectsWhere<KVRDeveloper>(*db, "isFollowed = %@", true);
  EXPECT_EQ(developers.count(), 2u);
  EXPECT_EQ(developers[0]->packagesCount(), 0);
  EXPECT_EQ(developers[0]->developerPackagesList(), (TextList{"a", "b"}));
  auto searches = store::allObjects<KVRSearchHistory>(*db).sorted("date", false);
  EXPECT_EQ(searches[0]->search(), "tweak");
  EXPECT_EQ(searches[0]->date().seconds, 1000);
}

}  // namespace
