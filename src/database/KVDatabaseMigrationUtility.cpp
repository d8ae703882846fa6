#include "database/KVDatabaseMigrationUtility.h"

#include <sys/stat.h>

#include "core/QuillbarkPersistentPreferences.h"
#include "database/KVRSchema.h"
#include "foundation/DateFormatter.h"
#include "foundation/Files.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "store/Store.h"
#include "system/DeviceFiles.h"
#include "system/DeviceRoot.h"

namespace {

std::string applicationSupport() { return DeviceRoot::devicePath(DeviceRoot::kApplicationSupport); }

bool isLink(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// The database's folder and files are ours alone, yet lie where a package can put links
// (dpkg replaces a file nobody owns). The database would follow such a link with its
// writes, to the host, say: below a device root a link in their place is removed
// before the database opens, so a fresh file or folder of ours takes its place.
void makeTheDatabaseFolder() {
  const std::string folder = applicationSupport();
  if (DeviceRoot::isRealDevice()) {
    DeviceFiles::createFolder(folder);  // no intermediate folders; errors ignored
    return;
  }
  std::string error;
  if (isLink(folder)) {
    KVLog("Removing the link a package put in place of %s", folder.c_str());
    if (!DeviceFiles::removeItem(folder, &error)) KVLog("Cannot remove %s: %s", folder.c_str(), error.c_str());
  }
  if (!DeviceFiles::createFolder(folder, &error)) {
    KVLog("Cannot make the database's folder %s: %s", folder.c_str(), error.c_str());
    return;
  }
  // A named pipe would have the database wait for a writer: it goes as a link does.
  for (const char* suffix : {"", "-wal", "-shm", "-journal", ".lock", ".note", ".management"}) {
    std::string file = KVDatabaseMigrationUtility::databasePath() + suffix, repair;
    if (!DeviceFiles::clearForOwnFile(file, &repair, &error)) KVLog("Cannot remove %s: %s", file.c_str(), error.c_str());
    else if (!repair.empty()) KVLog("Repaired the database's folder: %s", repair.c_str());
  }
}

bool hasProperty(const store::StoreObject& object, const char* name) {
  return object.schema() && object.schema()->indexOf(name) >= 0;
}

}  // namespace

std::string KVDatabaseMigrationUtility::databasePath() {
  return Files::appendingPathComponent(applicationSupport(), "default.realm");
}

store::Configuration KVDatabaseMigrationUtility::defaultConfiguration() {
  makeTheDatabaseFolder();
  store::Configuration c;
  c.path = databasePath();
  c.schemaVersion = KVRSchema::kSchemaVersion;
  c.schema = KVRSchema::schema();
  return c;
}

bool KVDatabaseMigrationUtility::shouldCompactOnLaunch(uint64_t totalBytes, uint64_t usedBytes) {
  const uint64_t limit = 20 * 1024 * 1024;
  return totalBytes > limit && totalBytes > 0 &&
         static_cast<double>(usedBytes) / static_cast<double>(totalBytes) < 0.8;
}

void KVDatabaseMigrationUtility::migrate(store::Migration& migration, uint64_t old, bool forced, bool* shouldRefresh) {
  migration.deleteData("KVRPackageVersion");
  QuillbarkPersistentPreferences::sharedInstance().setValue(true, "NeedsFullRefresh");
  *shouldRefresh = true;
  if (old < 24) {
    migration.enumerateObjects("KVRPackage", [](const store::StoreObject& oldObject, store::StoreObject* newObject) {
      if (!newObject) return;
      newObject->set("updatedDate", hasProperty(oldObject, "initialDate") ? oldObject.get("initialDate") : Value());
      newObject->set("updatedDateStr",
                     hasProperty(oldObject, "initialDateStr") ? oldObject.get("initialDateStr") : Value());
    });
  }
  if (old < 26) {
    migration.enumerateObjects("KVRSource", [](const store::StoreObject&, store::StoreObject* newObject) {
      if (newObject) newObject->set("isFollowed", false);
    });
  }
  if (forced) {
    migration.deleteData("KVRPackage");
    migration.deleteData("KVRSource");
    *shouldRefresh = true;
  } else if (old < 18) {
    migration.deleteData("KVRPackage");
    *shouldRefresh = true;
  } else if (old < 22) {
    migration.deleteData("KVRPackageVersion");
  }
  std::string sourcesFiles = Files::appendingPathComponent(applicationSupport(), "SourcesFiles");
  DeviceFiles::removeItem(sourcesFiles);
  DeviceFiles::createFolder(sourcesFiles);
  // The APT layer makes its private tree again, empty, before it next writes or runs.
  DeviceFiles::removeItem(Files::appendingPathComponent(applicationSupport(), "APT"));
}

bool KVDatabaseMigrationUtility::migrateDatabaseForced(bool forced, bool* shouldRefresh) {
  bool ignored = false;
  if (!shouldRefresh) shouldRefresh = &ignored;
  *shouldRefresh = false;
  store::Configuration config = defaultConfiguration();
  if (!Files::exists(config.path)) {
    store::Database::setDefaultConfiguration(config);
    return true;
  }
  // The block may outlive this call inside the stored configuration: it writes to a
  // flag of its own, read back below.
  auto refresh = std::make_shared<bool>(false);
  config.migrationBlock = [forced, refresh](store::Migration& migration, uint64_t old) {
    bool flag = false;
    migrate(migration, old, forced, &flag);
    *refresh = *refresh || flag;
  };
  config.shouldCompactOnLaunch = shouldCompactOnLaunch;
  store::Database::setDefaultConfiguration(config);
  auto opened = store::Database::openDefaultDatabase();
  *shouldRefresh = *refresh;
  if (opened) return true;
  KVLog("Error: database migration failed: (%s)", opened.error()->localizedDescription().c_str());
  store::Database::deleteFiles(config.path);
  auto fresh = store::Database::openDefaultDatabase();
  if (!fresh) KVLog("Error: the new database could not be opened: (%s)", fresh.error()->localizedDescription().c_str());
  return false;
}

bool KVDatabaseMigrationUtility::deleteDatabaseIfOutdated() {
  std::string path = databasePath();
  if (!Files::exists(path)) return false;
  DateFormatter formatter("yyyy-MM-dd", "");
  auto cutoff = formatter.parse("2019-10-28");
  auto modified = Files::modificationDate(path);
  if (!cutoff || !modified || !(*modified < *cutoff)) return false;
  KVLog("Resetting quillbark due to outdated database");
  store::Database::deleteFiles(path);
  DeviceFiles::removeItem(applicationSupport());
  return true;
}

std::string KVDatabaseMigrationUtility::didResetDatabaseMessage() {
  std::string blanks(95, ' ');
  return NSLocalizedString("Due to changes in the database schema, your database was not able to be updated." + blanks +
                           "Your database has been reset to prevent crashes." + blanks +
                           "You can reimport your sources from Quillbarks Settings page.");
}
