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

void setEndpoint(const std::string& location, bool hasEndpoint, const std::string& endpoint) {
  auto db = store::Database::defaultDatabase();
  if (!db) return;  // why is logged
  db->write([&] {
    auto object = db->objectForPrimaryKey(KVRSource::className(), Value(location));
    if (!object) return;
    db->setValue(*object, "hasEndpoint", Value(hasEndpoint));
    db->setValue(*object, "endpoint", hasEndpoint ? Value(endpoint) : Value());
  });
}

void updatePurchasesForSource(const std::string& sourceLocation, const std::vector<std::string>& identifiers,
                              std::function<void(bool written)> completion) {
  performOnDefaultThread([sourceLocation, identifiers, completion] {
    try {
      auto db = store::Database::defaultDatabase();
      if (!db) {
        if (completion) completion(false);
        return;
      }
      db->write([&] {
        auto marked = db->objects(KVRPackage::className(), "isPaidThroughSileo = 1 AND sourceLocation = %@",
                                  sourceLocation);
        for (const auto& object : marked.objects()) db->setValue(object, "isPaidThroughSileo", Value(false));
        for (const auto& identifier : identifiers) {
          if (auto object = db->objectForPrimaryKey(KVRPackage::className(), Value(identifier)))
            db->setValue(*object, "isPaidThroughSileo", Value(true));
        }
      });
    } catch (const std::exception& e) {
      KVLog("ERROR: %s", e.what());
      if (completion) completion(false);
      return;
    }
    if (completion) completion(true);
  });
}

void markPackagePaid(const std::string& identifier, std::function<void(bool written)> completion) {
  performOnDefaultThread([identifier, completion] {
    bool written = false;
    try {
      if (auto db = store::Database::defaultDatabase()) {
        db->write([&] {
          if (auto object = db->objectForPrimaryKey(KVRPackage::className(), Value(identifier)))
            db->setValue(*object, "isPaidThroughSileo", Value(true));
        });
        written = true;
      }
    } catch (const std::exception& e) {
      KVLog("ERROR: %s", e.what());
    }
    if (completion) completion(written);
  });
}

void setOutsideStorePurchases(const std::vector<std::string>& identifiers, std::function<void(bool written)> completion) {
  performOnBackgroundThread([identifiers, completion] {
    bool written = false;
    try {
      if (auto db = store::Database::defaultDatabase()) {
        db->write([&] {
          auto marked = db->objects(KVRPackage::className(), "isPaidThroughCydia = 1");
          for (const auto& object : marked.objects()) db->setValue(object, "isPaidThroughCydia", Value(false));
          for (const auto& identifier : identifiers)
            if (auto object = db->objectForPrimaryKey(KVRPackage::className(), Value(identifier)))
              db->setValue(*object, "isPaidThroughCydia", Value(true));
        });
        written = true;
      }
    } catch (const std::exception& e) {
      KVLog("ERROR: %s", e.what());
    }
    if (completion) completion(written);
  });
}

}  // namespace KVRepoStoreRecords
