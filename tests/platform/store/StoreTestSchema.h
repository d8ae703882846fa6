#pragma once
// A small schema that exercises every kind of property, used by the store tests.
#include <memory>
#include <string>

#include "store/Configuration.h"
#include "store/Database.h"
#include "support/TempDir.h"
#include "support/Written.h"

namespace storetest {

inline store::ObjectSchema itemSchema() {
  using store::Property;
  using store::PropertyType;
  store::ObjectSchema s("Item");
  s.add(Property("key", PropertyType::String).primaryKey());
  s.add(Property("name", PropertyType::String).sortIndexed());
  s.add(Property("count", PropertyType::Int));
  s.add(Property("flag", PropertyType::Bool).indexedWhenSet());
  s.add(Property("active", PropertyType::Bool).required().defaultsTo(false));
  s.add(Property("price", PropertyType::Double));
  s.add(Property("when", PropertyType::Date));
  s.add(Property("blob", PropertyType::Data));
  s.add(Property("category", PropertyType::String).indexed());
  s.add(Property("tags", PropertyType::StringList));
  s.add(Property("versions", PropertyType::LinkList).linkTo("Version", true));
  return s;
}

inline store::ObjectSchema versionSchema() {
  using store::Property;
  using store::PropertyType;
  store::ObjectSchema s("Version");
  s.add(Property("source", PropertyType::String).indexed());
  s.add(Property("version", PropertyType::String));
  return s;
}

inline store::ObjectSchema noteSchema() {
  using store::Property;
  using store::PropertyType;
  store::ObjectSchema s("Note");
  s.add(Property("text", PropertyType::String).required());
  s.add(Property("level", PropertyType::Int).required());
  return s;
}

inline store::Configuration configuration(const std::string& path, uint64_t version = 1) {
  store::Configuration c;
  c.path = path;
  c.schemaVersion = version;
  c.schema = store::Schema{itemSchema(), versionSchema(), noteSchema()};
  return c;
}

// A database in its own temporary folder, closed and removed with the fixture.
struct TempDatabase {
  TempDir dir;
  std::string path = dir.file("test.realm");
  std::shared_ptr<store::Database> db = store::Database::open(configuration(path)).value();

  ~TempDatabase() {
    db.reset();
    store::Database::deleteFiles(path);
  }

  store::StoreObject item(const std::string& key, const std::string& name = {}) {
    auto o = db->makeObject("Item");
    o.set("key", key);
    if (!name.empty()) o.set("name", name);
    return o;
  }
  void addItem(const std::string& key, Value::Dictionary fields) {
    auto o = item(key);
    for (auto& [k, v] : fields) o.set(k, v);
    written(db->write([&] { db->add(o); }));
  }
  std::vector<std::string> keys(const store::Results& r) {
    std::vector<std::string> out;
    for (const auto& v : r.valuesForKey("key")) out.push_back(v.asString());
    return out;
  }
};

}  // namespace storetest
