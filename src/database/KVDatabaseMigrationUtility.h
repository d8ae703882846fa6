#pragma once
// Prepares the database at start-up: removes a database older than the oldest format
// still read, installs the default configuration ("default.realm", schema version 29,
// the migration, compaction on launch), opens the file and resets it when it cannot
// be opened.
#include <cstdint>
#include <memory>
#include <string>

#include "store/Configuration.h"

namespace store {
class Migration;
}

class KVDatabaseMigrationUtility {
 public:
  // Creates the application-support folder when missing (not its parents) and
  // answers the configuration of "default.realm" there, schema version 29.
  static store::Configuration defaultConfiguration();
  static std::string databasePath();

  // Installs the default configuration and opens the database, migrating an older
  // file. Answers NO when the file could not be opened and was replaced by an empty
  // one (start-up then shows the "Reset Database" alert). `shouldRefresh` becomes YES
  // when the migration asks for a refresh of every source.
  static bool migrateDatabaseForced(bool forced, bool* shouldRefresh);

  // Deletes the whole application-support folder when "default.realm" was last
  // modified before 2019-10-28 (local time). Answers YES when it deleted.
  static bool deleteDatabaseIfOutdated();

  // The message of the alert "Reset Database" (the alert itself is start-up's).
  static std::string didResetDatabaseMessage();

  // Compaction on launch: files over 20 MiB that are less than 80 % used.
  static bool shouldCompactOnLaunch(uint64_t totalBytes, uint64_t usedBytes);

  // The migration block (public so that tests can name its steps).
  static void migrate(store::Migration& migration, uint64_t oldSchemaVersion, bool forced, bool* shouldRefresh);
};
