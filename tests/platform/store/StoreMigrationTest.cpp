#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "store/Store.h"
#include "store/StoreException.h"
#include "support/Latch.h"
#include "support/TempDir.h"
#include "support/Written.h"

using store::Property;
using store::PropertyType;
using store::StoreException;

namespace {

store::Configuration version1(const std::string& path) {
  store::Configuration c;
  c.path = path;
  c.schemaVersion = 1;
  store::ObjectSchema item("Item");
  item.add(Property("key", PropertyType::String).primaryKey());
  item.add(Property("name", PropertyType::String).indexed());
  item.add(Property("oldField", PropertyType::String));
  item.add(Property("parts", PropertyType::LinkList).linkTo("Part", true));
  store::ObjectSchema part("Part");
  part.add(Property("label", PropertyType::String));
  store::ObjectSchema gone("Gone");
  gone.add(Property("x", PropertyType::Int));
  c.schema = store::Schema{item, part, gone};
  return c;
}

store::Configuration version2(const std::string& path) {
  store::Configuration c;
  c.path = path;
  c.schemaVersion = 2;
  store::ObjectSchema item("Item");
  item.add(Property("key", PropertyType::String).primaryKey());
  item.add(Property("name", PropertyType::String));
  item.add(Property("newField", PropertyType::String).indexed());
  item.add(Property("score", PropertyType::Int).required().defaultsTo(5));
  item.add(Property("parts", PropertyType::LinkList).linkTo("Part", true));
  store::ObjectSchema part("Part");
  part.add(Property("label", PropertyType::String));
  store::ObjectSchema extra("Extra");
  extra.add(Property("y", PropertyType::Int));
  c.schema = store::Schema{item, part, extra};
  return c;
}

void fillVersion1(const std::string& path) {
  auto db = store::Database::open(version1(path)).value();
  written(db->write([&] {
    for (const char* key : {"keep", "drop"}) {
      auto o = db->makeObject("Item");
      o.set("key", key);
      o.set("name", key);
      o.set("oldField", std::string("old-") + key);
      auto p = db->makeObject("Part");
      p.set("label", "part");
      o.mutableLinks("parts").push_back(p);
      db->add(o);
    }
    auto g = db->makeObject("Gone");
    g.set("x", 1);
    db->add(g);
  }));
}

TEST(StoreMigration, AnOlderFileIsMigratedByTheBlock) {
  TempDir dir;
  std::string path = dir.file("m.realm");
  fillVersion1(path);
  uint64_t seenOld = 0;
  auto config = version2(path);
  config.migrationBlock = [&](store::Migration& m, uint64_t old) {
    seenOld = old;
    EXPECT_EQ(m.oldSchemaVersion(), 1u);
    m.enumerateObjects("Item", [&](const store::StoreObject& oldObject, store::StoreObject* newObject) {
      ASSERT_TRUE(newObject);
      EXPECT_EQ(newObject->get("score"), Value(5));  // new properties start at their initial value
      newObject->set("newField", oldObject.get("oldField"));
      if (oldObject.getString("name") == "drop") m.deleteObject(*newObject);
    });
    m.enumerateObjects("Gone", [&](const store::StoreObject& oldObject, store::StoreObject* newObject) {
      EXPECT_EQ(oldObject.getInt("x"), 1);
      EXPECT_EQ(newObject, nullptr);
    });
    EXPECT_TRUE(m.deleteData("Gone"));
  };
  auto db = store::Database::open(config).value();
  EXPECT_EQ(seenOld, 1u);
  auto keep = db->objectForPrimaryKey("Item", "keep");
  ASSERT_TRUE(keep);
  EXPECT_EQ(keep->getString("newField"), "old-keep");
  EXPECT_EQ(keep->getInt("score"), 5);
  EXPECT_EQ(keep->links("parts").size(), 1u);
  EXPECT_FALSE(db->objectForPrimaryKey("Item", "drop"));
  EXPECT_EQ(db->objects("Part").count(), 1u);  // the deleted item's part went with it
  EXPECT_EQ(db->objects("Item", "newField = %@", "old-keep").count(), 1u);
  EXPECT_THROW(db->objects("Item", "oldField = 'x'").count(), StoreException);
  written(db->write([&] {
    auto e = db->makeObject("Extra");
    e.set("y", 2);
    db->add(e);
  }));
  db.reset();
  // Opened again at the same version: no migration.
  config.migrationBlock = [&](store::Migration&, uint64_t) { ADD_FAILURE() << "migrated twice"; };
  EXPECT_EQ(store::Database::open(config).value()->objects("Extra").count(), 1u);
}

TEST(StoreMigration, AFailingBlockLeavesTheFileAsItWas) {
  TempDir dir;
  std::string path = dir.file("m.realm");
  fillVersion1(path);
  auto config = version2(path);
  config.migrationBlock = [](store::Migration& m, uint64_t) {
    m.deleteData("Item");
    throw StoreException(StoreException::Kind::Fail, "refused");
  };
  auto refused = store::Database::open(config);
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error()->domain, store::StoreErrorDomain);
  EXPECT_EQ(refused.error()->localizedDescription(), "refused");
  auto db = store::Database::open(version1(path)).value();
  EXPECT_EQ(db->objects("Item").count(), 2u);
  EXPECT_EQ(db->objectForPrimaryKey("Item", "keep")->getString("oldField"), "old-keep");
}

TEST(StoreMigration, ShapeChangesNeedAVersionAndNewerFilesAreRefused) {
  TempDir dir;
  std::string path = dir.file("m.realm");
  fillVersion1(path);
  auto changed = version2(path);
  changed.schemaVersion = 1;
  auto mismatch = store::Database::open(changed);
  ASSERT_FALSE(mismatch) << "opened a file of another shape";
  EXPECT_EQ(mismatch.error()->code, static_cast<int64_t>(StoreException::Kind::SchemaMismatch));
  EXPECT_NE(mismatch.error()->localizedDescription().find("Item.newField"), std::string::npos);
  store::Database::open(version2(path)).value().reset();
  auto newer = store::Database::open(version1(path));
  ASSERT_FALSE(newer) << "opened a newer file";
  EXPECT_EQ(newer.error()->code, static_cast<int64_t>(StoreException::Kind::SchemaVersionTooNew));
}

// The default configuration for one test, put back to none afterwards.
struct DefaultConfiguration {
  explicit DefaultConfiguration(store::Configuration c) { store::Database::setDefaultConfiguration(std::move(c)); }
  ~DefaultConfiguration() { store::Database::setDefaultConfiguration({}); }
};

// Runs `open` on a thread of its own; a deadlock fails the test instead of hanging it.
template <typename Open>
void openWithin(double seconds, Open open) {
  Latch done;
  std::thread opener([&] {
    open();
    done.arrive();
  });
  if (!done.wait(seconds)) {
    ADD_FAILURE() << "opening the database never ended";
    std::abort();  // the opener holds this frame's objects
  }
  opener.join();
}

TEST(StoreMigration, AMigrationStepMayOpenTheDefaultDatabaseItMigratesAndAnotherFile) {
  TempDir dir;
  std::string path = dir.file("m.realm");
  fillVersion1(path);
  auto other = version1(dir.file("other.realm"));
  auto config = version2(path);
  std::shared_ptr<store::Database> seenInside;
  size_t itemsSeenInside = 0;
  bool otherOpened = false;
  config.migrationBlock = [&](store::Migration& m, uint64_t) {
    m.enumerateObjects("Item", [](const store::StoreObject& old, store::StoreObject* item) {
      item->set("newField", old.get("oldField"));
    });
    // The step reads the database it migrates, as the migration has left it so far.
    seenInside = store::Database::defaultDatabase();
    if (seenInside) itemsSeenInside = seenInside->objects("Item", "newField BEGINSWITH 'old-'").count();
    otherOpened = static_cast<bool>(store::Database::open(other));
  };
  DefaultConfiguration defaults(config);
  std::shared_ptr<store::Database> opened;
  openWithin(60, [&] { opened = store::Database::defaultDatabase(); });
  ASSERT_TRUE(opened);
  EXPECT_EQ(seenInside, opened);
  EXPECT_EQ(itemsSeenInside, 2u);
  EXPECT_TRUE(otherOpened);
  EXPECT_EQ(opened->schemaVersion(), 2u);
  EXPECT_EQ(store::Database::defaultDatabase(), opened) << "the finished database is the default from now on";
}

TEST(StoreMigration, AFileOpenedFromTwoThreadsWhileOneMigratesIsOneMigratedDatabase) {
  TempDir dir;
  std::string path = dir.file("m.realm");
  fillVersion1(path);
  auto config = version2(path);
  Latch migrating, release;
  std::atomic<bool> migrated{false};
  config.migrationBlock = [&](store::Migration& m, uint64_t) {
    migrating.arrive();
    ASSERT_TRUE(release.wait());
    m.enumerateObjects("Item", [](const store::StoreObject& old, store::StoreObject* item) {
      item->set("newField", old.get("oldField"));
    });
    migrated = true;
  };
  DefaultConfiguration defaults(config);
  std::shared_ptr<store::Database> first, second;
  bool secondSawTheMigration = false;
  openWithin(60, [&] {
    std::thread migrator([&] { first = store::Database::defaultDatabase(); });
    ASSERT_TRUE(migrating.wait());
    std::thread reader([&] {
      second = store::Database::open(config).value();
      secondSawTheMigration = migrated && second->objects("Item", "newField = 'old-keep'").count() == 1;
    });
    release.arrive();
    migrator.join();
    reader.join();
  });
  ASSERT_TRUE(first);
  EXPECT_EQ(first, second);
  EXPECT_TRUE(secondSawTheMigration) << "the second opener got the file before its migration ended";
}

}  // namespace
