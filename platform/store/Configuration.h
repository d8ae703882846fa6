#pragma once
// How a database file is opened: where, with which schema and version, how an older
// file is migrated and when the file is compacted.
#include <cstdint>
#include <functional>
#include <string>

#include "store/Schema.h"

namespace store {

class Migration;

struct Configuration {
  std::string path;
  uint64_t schemaVersion = 0;
  Schema schema;
  // Runs inside the opening transaction when the file's version is lower than
  // schemaVersion: new properties already exist (at their initial values), removed
  // ones can still be read from the old objects.
  std::function<void(Migration& migration, uint64_t oldSchemaVersion)> migrationBlock;
  // Asked once per process when the file is first opened, with the file's total size
  // and the bytes in use; answering true compacts the file.
  std::function<bool(uint64_t totalBytes, uint64_t usedBytes)> shouldCompactOnLaunch;
};

}  // namespace store
