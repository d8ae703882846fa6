#pragma once
// The package database a benchmark writes, in a folder of its own.
#include <cstdio>
#include <cstdlib>
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
