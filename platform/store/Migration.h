#pragma once
// What a migration block works with: the file's old schema version and schema, the
// objects of a class as they were and as they are to be, and deletion.
#include <cstdint>
#include <functional>
#include <string>

#include "store/Schema.h"
#include "store/StoreObject.h"

namespace store {

class Database;

class Migration {
 public:
  Migration(Database& database, Schema oldSchema, uint64_t oldSchemaVersion);

  uint64_t oldSchemaVersion() const { return oldSchemaVersion_; }
  const Schema& oldSchema() const { return oldSchema_; }
  const Schema& newSchema() const;
  Database& database() { return database_; }

  // Calls the block for every stored object of a class that exists in the old schema:
  // `oldObject` with the old properties (removed ones included), `newObject` with the
  // new ones (null when the class is gone). Changes made to `newObject` are saved.
  void enumerateObjects(const std::string& className,
                        const std::function<void(const StoreObject& oldObject, StoreObject* newObject)>& block);
  // Deletes one object (given as the old or the new one).
  void deleteObject(const StoreObject& object);
  // Deletes every object of a class. Answers whether the class existed.
  bool deleteData(const std::string& className);

 private:
  Database& database_;
  Schema oldSchema_;
  uint64_t oldSchemaVersion_;
};

}  // namespace store
