#include "PaymentTestRecords.h"

#include "database/KVDatabaseMigrationUtility.h"
#include "database/KVRPackage.h"
#include "database/KVRSource.h"
#include "store/Database.h"
#include "support/Written.h"

namespace PaymentTestRecords {

void clear() {
  // The application's own database, in the test's device root.
  store::Database::setDefaultConfiguration(KVDatabaseMigrationUtility::defaultConfiguration());
}

void addSource(const std::string& location, const std::string& endpoint) {
  KVRSource source = KVRSource::newSourceWithLocation(location);
  if (!endpoint.empty()) {
    source.setEndpoint(endpoint);
    source.setHasEndpoint(true);
  }
  auto db = store::Database::defaultDatabase();
  written(db->write([&] { db->addOrUpdate(source.toObject()); }));
}

void addPackage(const std::string& identifier, const std::string& sourceLocation) {
  KVRPackage package;
  package.setIdentifier(identifier);
  package.setSourceLocation(sourceLocation);
  package.setName(identifier);
  auto db = store::Database::defaultDatabase();
  written(db->write([&] { db->addOrUpdate(package.toObject()); }));
}

bool isPaidThroughSileo(const std::string& identifier) {
  auto package = KVRPackage::objectForPrimaryKey(identifier);
  return package && package->isPaidThroughSileo().value_or(false);
}

void markPaid(const std::string& identifier) {
  auto db = store::Database::defaultDatabase();
  written(db->write([&] {
    if (auto object = db->objectForPrimaryKey(KVRPackage::className(), Value(identifier)))
      db->setValue(*object, "isPaidThroughSileo", Value(true));
  }));
}

}  // namespace PaymentTestRecords
