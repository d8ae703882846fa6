#include <gtest/gtest.h>

#include "store/Store.h"
#include "store/StoreException.h"
#include "support/TempDir.h"

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
  auto db = store::Database::open(version1(path));
  db->write([&] {
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
  });
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
  auto db = store::Database::open(config);
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
  db->write([&] {
    auto e = db->makeObject("Extra");
    e.set("y", 2);
    db->add(e);
  });
  db.reset();
  // Opened again at the same version: no migration.
  config.migrationBlock = [&](store::Migration&, uint64_t) { ADD_FAILURE() << "migrated twice"; };
  EXPECT_EQ(store::Database::open(config)->objects("Extra").count(), 1u);
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
  EXPECT_THROW(store::Database::open(config), StoreException);
  auto db = store::Database::open(version1(path));
  EXPECT_EQ(db->objects("Item").count(), 2u);
  EXPECT_EQ(db->objectForPrimaryKey("Item", "keep")->getString("oldField"), "old-keep");
}

TEST(StoreMigration, ShapeChangesNeedAVersionAndNewerFilesAreRefused) {
  TempDir dir;
  std::string path = dir.file("m.realm");
  fillVersion1(path);
  auto changed = version2(path);
  changed.schemaVersion = 1;
  try {
    store::Database::open(changed);
    ADD_FAILURE() << "opened a file of another shape";
  } catch (const StoreException& e) {
    EXPECT_EQ(e.kind(), StoreException::Kind::SchemaMismatch);
    EXPECT_NE(std::string(e.what()).find("Item.newField"), std::string::npos);
  }
  store::Database::open(version2(path)).reset();
  try {
    store::Database::open(version1(path));
    ADD_FAILURE() << "opened a newer file";
  } catch (const StoreException& e) {
    EXPECT_EQ(e.kind(), StoreException::Kind::SchemaVersionTooNew);
  }
}

}  // namespace
