#pragma once
// One record read from or bound for the store, as a value: its class, its row id once
// stored (0 before), one Value per property in declaration order and, for each list of
// links, the linked records. Copies are independent; writing a change back takes a
// write transaction on the database.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Value.h"
#include "store/Schema.h"

namespace store {

class StoreObject {
 public:
  StoreObject() = default;
  // A fresh object of the class with every property at its initial value.
  explicit StoreObject(ObjectSchemaRef schema);

  bool isValid() const { return schema_ != nullptr; }
  const ObjectSchemaRef& schema() const { return schema_; }
  const std::string& className() const;
  // The row id in the database; 0 for an object that was never stored.
  int64_t objectId() const { return id_; }
  void setObjectId(int64_t id) { id_ = id; }
  bool isManaged() const { return id_ != 0; }

  // By name; unknown names raise InvalidProperty.
  const Value& get(const std::string& name) const;
  void set(const std::string& name, Value value);
  // By position in the schema (no checks beyond the bounds).
  const Value& at(size_t index) const { return values_.at(index); }
  void setAt(size_t index, Value value);

  std::optional<std::string> getString(const std::string& name) const;
  std::optional<bool> getBool(const std::string& name) const;
  std::optional<int64_t> getInt(const std::string& name) const;
  std::optional<double> getDouble(const std::string& name) const;
  std::optional<Date> getDate(const std::string& name) const;
  std::optional<Data> getData(const std::string& name) const;
  std::vector<std::string> getStringList(const std::string& name) const;
  void setStringList(const std::string& name, const std::vector<std::string>& items);

  const std::vector<StoreObject>& links(const std::string& name) const;
  std::vector<StoreObject>& mutableLinks(const std::string& name);
  const std::vector<StoreObject>& linksAt(size_t index) const;
  std::vector<StoreObject>& mutableLinksAt(size_t index);

  // The primary key's value, or null for a class without one.
  Value primaryKeyValue() const;
  // All properties as a dictionary (links as arrays of dictionaries), for logs and tests.
  Value toValue() const;

  // The same record laid out by another declaration of its class: properties matched
  // by name, missing ones at their initial values.
  StoreObject remapped(const ObjectSchemaRef& schema) const;

  // Same class, same values and same links (row ids ignored).
  bool sameContent(const StoreObject& other) const;

 private:
  size_t checkedIndex(const std::string& name) const;

  ObjectSchemaRef schema_;
  int64_t id_ = 0;
  std::vector<Value> values_;
  std::vector<std::vector<StoreObject>> links_;  // one per property; used by link lists
};

}  // namespace store
