#include "database/KVRPackageManager.h"

#include "core/KVConnections.h"
#include "core/KVPlatform.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "database/KVDefaultRepositories.h"
#include "database/KVRDevelopers.h"
#include "database/KVRPackages.h"
#include "database/KVRSearchHistories.h"
#include "database/KVRSource.h"
#include "database/KVRSources.h"
#include "foundation/BlockHelpers.h"
#include "foundation/Dispatch.h"
#include "foundation/Log.h"
#include "store/Store.h"
#include "system/Reachability.h"

namespace {

// Adds the sources that are not there yet, in one transaction on a background queue.
// A location added meanwhile by someone else is left as it is.
void addSourcesInBackground(std::vector<std::string> locations) {
  performOnDefaultThread([locations = std::move(locations)] {
    try {
      auto db = store::Database::defaultDatabase();
      if (!db) return;  // why is logged
      db->write([&] {
        for (const auto& location : locations) {
          if (!db->objectForPrimaryKey(KVRSource::className(), location)) {
            db->add(KVRSource::newSourceWithLocation(location).toObject());
          }
        }
      });
    } catch (const std::exception& e) {
      KVLog("Adding the default sources failed: %s", e.what());
    }
  });
}

}  // namespace

KVRPackageManager& KVRPackageManager::sharedPackageManager() {
  static KVRPackageManager* instance = new KVRPackageManager();  // lives as long as the process
  return *instance;
}

KVRPackageManager::KVRPackageManager()
    : developers_(std::make_shared<KVRDevelopers>()), searchHistories_(std::make_shared<KVRSearchHistories>()) {
  bool added = setDefaultSourcesIfDatabaseIsEmpty();
  bool bootstrap = verifyDefaultSourcesForJailbreakTool();
  if (added || bootstrap || refreshIsNeeded()) {
    scheduledRefresh_ = true;
    std::weak_ptr<bool> alive = alive_;
    DispatchQueue::mainQueue().asyncAfter(3.0, [this, alive] {
      DispatchQueue::globalDefault().async([this, alive] {
        if (alive.lock()) refreshAllSources();
      });
    });
  }
}

KVRPackageManager::~KVRPackageManager() = default;

std::shared_ptr<KVRSources> KVRPackageManager::sources() const { return KVRSources::connected(); }

std::shared_ptr<KVRPackages> KVRPackageManager::packages() const { return KVRPackages::connected(); }

void KVRPackageManager::refreshAllSources() {
  KVConnections::current("KVRPackageManager::refreshAllSources")->sources->refreshAllSources();
}

bool KVRPackageManager::setDefaultSourcesIfDatabaseIsEmpty() {
  auto db = store::Database::defaultDatabase();
  if (!db || !db->objects(KVRSource::className()).empty()) return false;
  addSourcesInBackground(KVDefaultRepositories::defaultSourceLocations());
  return true;
}

bool KVRPackageManager::verifyDefaultSourcesForJailbreakTool() {
  auto location = KVDefaultRepositories::bootstrapLocationForJailbreakTool(KVPlatform::jailbreakTool());
  if (!location) return false;
  auto db = store::Database::defaultDatabase();
  if (!db || db->objectForPrimaryKey(KVRSource::className(), *location)) return false;
  addSourcesInBackground({*location});
  return true;
}

bool KVRPackageManager::refreshIsNeeded() {
  int status = Reachability::reachabilityForInternetConnection()->currentReachabilityStatus();
  if (status != ReachableViaWiFi && status != ReachableViaWWAN) return false;
  Value last = QuillbarkPersistentPreferences::sharedInstance().objectForKey("lastRefreshDate");
  const Date* date = last.datePtr();
  if (!date) return true;
  double elapsed = Date::now().timeIntervalSinceDate(*date);
  return elapsed > 3600 || elapsed < 0;
}
