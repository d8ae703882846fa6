#include "store/Migration.h"

#include "store/DatabaseImpl.h"

namespace store {

Migration::Migration(Database& database, Schema oldSchema, uint64_t oldSchemaVersion)
    : database_(database), oldSchema_(std::move(oldSchema)), oldSchemaVersion_(oldSchemaVersion) {}

const Schema& Migration::newSchema() const { return database_.schema(); }

void Migration::enumerateObjects(const std::string& className,
                                 const std::function<void(const StoreObject& oldObject, StoreObject* newObject)>& block) {
  auto& impl = database_.impl();
  sql::Connection& c = impl.requireWriter("migrate");
  ObjectSchemaRef oldClass = oldSchema_.find(className);
  if (!oldClass) return;
  auto oldInfo = ClassInfo::make(oldClass);
  std::shared_ptr<ClassInfo> newInfo;
  if (auto it = impl.classes.find(className); it != impl.classes.end()) newInfo = it->second;
  std::vector<int64_t> ids;
  {
    sql::Statement st = c.prepare("SELECT _id FROM " + oldInfo->table + " ORDER BY _id");
    while (st.step()) ids.push_back(st.columnInt(0));
  }
  for (int64_t id : ids) {
    StoreObject oldObject(oldClass);
    {
      sql::Statement st = c.prepare(oldInfo->selectByIdSql);
      st.bindInt(1, id);
      if (!st.step()) continue;  // deleted earlier in this migration
      oldObject = objectFromColumns(*oldInfo, st, id);
    }
    for (size_t index : oldInfo->links) {
      // Old links are readable while their target class still exists.
      if (impl.classes.count(oldClass->property(index).objectClass)) {
        StoreObject probe(oldClass);
        probe.setObjectId(id);
        ClassInfo single = *oldInfo;
        single.links = {index};
        impl.loadLinks(c, single, probe);
        oldObject.mutableLinksAt(index) = probe.linksAt(index);
      }
    }
    if (!newInfo) {
      block(oldObject, nullptr);
      continue;
    }
    std::optional<StoreObject> before = impl.loadObject(c, *newInfo, id);
    if (!before) continue;
    StoreObject newObject = *before;
    block(oldObject, &newObject);
    bool stillThere = false;
    {
      sql::Statement st = c.prepare("SELECT 1 FROM " + newInfo->table + " WHERE _id = ?");
      st.bindInt(1, id);
      stillThere = st.step();
    }
    if (stillThere && !newObject.sameContent(*before)) {
      newObject.setObjectId(id);
      impl.writeObject(c, *newInfo, newObject, Database::Impl::WriteMode::AddOrUpdate);
    }
  }
}

void Migration::deleteObject(const StoreObject& object) {
  auto& impl = database_.impl();
  sql::Connection& c = impl.requireWriter("migrate");
  if (!object.isManaged()) return;
  if (auto it = impl.classes.find(object.className()); it != impl.classes.end()) {
    impl.deleteRows(c, *it->second, {object.objectId()});
  } else if (auto oldClass = oldSchema_.find(object.className())) {
    sql::Statement st = c.prepare("DELETE FROM " + sql::quoteIdentifier(oldClass->className()) + " WHERE _id = ?");
    st.bindInt(1, object.objectId());
    st.run();
  }
}

bool Migration::deleteData(const std::string& className) {
  auto& impl = database_.impl();
  sql::Connection& c = impl.requireWriter("migrate");
  if (impl.classes.count(className)) {
    database_.deleteAllObjects(className);
    return true;
  }
  if (oldSchema_.find(className)) {
    c.exec("DELETE FROM " + sql::quoteIdentifier(className));
    return true;
  }
  return false;
}

}  // namespace store
