#include "PaymentTestRecords.h"

#include "database/KVRPackage.h"
#include "database/KVRSchema.h"
#include "database/KVRSource.h"
#include <filesystem>

#include "store/Database.h"
#include "system/DeviceRoot.h"

namespace PaymentTestRecords {

void clear() {
  // A database of its own in the test's device root.
  store::Configuration config;
  config.path = DeviceRoot::devicePath("/var/mobile/Library/Application Support/Quillbark/default.realm");
  config.schemaVersion = KVRSchema::kSchemaVersion;
  config.schema = KVRSchema::schema();
  std::string folder = config.path.substr(0, config.path.rfind('/'));
  std::filesystem::create_directories(folder);
  store::Database::setDefaultConfiguration(std::move(config));
}

void addSource(const std::string& location, const std::string& endpoint) {
  KVRSource source = KVRSource::newSourceWithLocation(location);
  if (!endpoint.empty()) {
    source.setEndpoint(endpoint);
    source.setHasEndpoint(true);
  }
  auto db = store::Database::defaultDatabase();
  db->write([&] { db->addOrUpdate(source.toObject()); });
}

void addPackage(const std::string& identifier, const std::string& sourceLocation) {
  KVRPackage package;
  package.setIdentifier(identifier);
  package.setSourceLocation(sourceLocation);
  package.setName(identifier);
  auto db = store::Database::defaultDatabase();
  db->write([&] { db->addOrUpdate(package.toObject()); });
}

bool isPaidThroughSileo(const std::string& identifier) {
  auto package = KVRPackage::objectForPrimaryKey(identifier);
  return package && package->isPaidThroughSileo().value_or(false);
}

void markPaid(const std::string& identifier) {
  auto db = store::Database::defaultDatabase();
  db->write([&] {
    if (auto object = db->objectForPrimaryKey(KVRPackage::className(), Value(identifier)))
      db->setValue(*object, "isPaidThroughSileo", Value(true));
  });
}

}  // namespace PaymentTestRecords
