#include "payment/KVRepoStoreRecords.h"

#include "database/KVRPackage.h"
#include "database/KVRSource.h"
#include "foundation/BlockHelpers.h"
#include "foundation/Log.h"
#include "store/Database.h"
#include "store/StoreException.h"

namespace KVRepoStoreRecords {

std::optional<Source> sourceWithLocation(const std::string& location) {
  auto source = KVRSource::objectForPrimaryKey(location);
  if (!source) return std::nullopt;
  return Source{source->location(), source->endpoint().value_or(""), source->hasEndpoint().value_or(false)};
}

std::vector<std::string> allSourceLocations() {
  std::vector<std::string> locations;
  auto db = store::Database::defaultDatabase();
  if (!db) return locations;  // why is logged
  for (const auto& value : db->objects(KVRSource::className()).valuesForKey("location"))
    locations.push_back(value.asString());
  return locations;
}

std::optional<std::string> sourceLocationOfPackage(const std::string& identifier) {
  auto package = KVRPackage::objectForPrimaryKey(identifier);
  if (!package) return std::nullopt;
  return package->sourceLocation().value_or("");
}

ErrorRef setEndpoint(const std::string& location, bool hasEndpoint, const std::string& endpoint) {
  auto db = store::Database::openDefaultDatabase();
  if (!db) return db.error();
  return (*db)->write([&] {
    auto object = (*db)->objectForPrimaryKey(KVRSource::className(), Value(location));
    if (!object) return;
    (*db)->setValue(*object, "hasEndpoint", Value(hasEndpoint));
    (*db)->setValue(*object, "endpoint", hasEndpoint ? Value(endpoint) : Value());
  });
}

void updatePurchasesForSource(const std::string& sourceLocation, const std::vector<std::string>& identifiers,
                              std::function<void(ErrorRef)> completion) {
  performOnDefaultThread([sourceLocation, identifiers, completion] {
    auto db = store::Database::openDefaultDatabase();
    ErrorRef error = !db ? db.error() : (*db)->write([&] {
      auto& d = **db;
      auto marked = d.objects(KVRPackage::className(), "isPaidThroughSileo = 1 AND sourceLocation = %@", sourceLocation);
      for (const auto& object : marked.objects()) d.setValue(object, "isPaidThroughSileo", Value(false));
      for (const auto& identifier : identifiers) {
        if (auto object = d.objectForPrimaryKey(KVRPackage::className(), Value(identifier)))
          d.setValue(*object, "isPaidThroughSileo", Value(true));
      }
    });
    if (error) KVLog("ERROR: %s", error->localizedDescription().c_str());
    if (completion) completion(error);
  });
}

void markPackagePaid(const std::string& identifier, std::function<void(ErrorRef)> completion) {
  performOnDefaultThread([identifier, completion] {
    auto db = store::Database::openDefaultDatabase();
    ErrorRef error = !db ? db.error() : (*db)->write([&] {
      if (auto object = (*db)->objectForPrimaryKey(KVRPackage::className(), Value(identifier)))
        (*db)->setValue(*object, "isPaidThroughSileo", Value(true));
    });
    if (error) KVLog("ERROR: %s", error->localizedDescription().c_str());
    if (completion) completion(error);
  });
}

void setOutsideStorePurchases(const std::vector<std::string>& identifiers, std::function<void(ErrorRef)> completion) {
  performOnBackgroundThread([identifiers, completion] {
    auto db = store::Database::openDefaultDatabase();
    ErrorRef error = !db ? db.error() : (*db)->write([&] {
      auto& d = **db;
      auto marked = d.objects(KVRPackage::className(), "isPaidThroughCydia = 1");
      for (const auto& object : marked.objects()) d.setValue(object, "isPaidThroughCydia", Value(false));
      for (const auto& identifier : identifiers)
        if (auto object = d.objectForPrimaryKey(KVRPackage::className(), Value(identifier)))
          d.setValue(*object, "isPaidThroughCydia", Value(true));
    });
    if (error) KVLog("ERROR: %s", error->localizedDescription().c_str());
    if (completion) completion(error);
  });
}

}  // namespace KVRepoStoreRecords
