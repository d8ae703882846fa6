#pragma once
// The package database a benchmark writes, in a folder of its own.
#include <string>

#include "database/KVRSchema.h"
#include "store/Store.h"

inline store::Configuration benchDatabaseConfiguration(const std::string& folder) {
  store::Configuration c;
  c.path = folder + "/default.realm";
  c.schemaVersion = KVRSchema::kSchemaVersion;
  c.schema = KVRSchema::schema();
  return c;
}
