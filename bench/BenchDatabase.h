#pragma once
// The package database a benchmark writes, in a folder of its own.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
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

// A write a benchmark's setup needs: a failure ends the run, since what follows would
// measure nothing.
inline void written(const ErrorRef& error) {
  if (!error) return;
  std::fprintf(stderr, "the benchmark's database write failed: %s\n", error->localizedDescription().c_str());
  std::abort();
}

// The end of a benchmark that made the default database in a folder of its own: the
// configuration forgotten, the last handle let go, the files and the folder removed.
inline void benchRemoveDefaultDatabase(std::shared_ptr<store::Database>& db, const store::Configuration& c,
                                       const std::string& folder) {
  store::Database::setDefaultConfiguration({});
  db.reset();
  store::Database::deleteFiles(c.path);
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
}
