#include "database/KVRPackageManager.h"

#include <cstdio>
#include <cstdlib>

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
    auto db = store::Database::defaultDatabase();
    if (!db) return;  // why is logged
    ErrorRef error = db->write([&] {
      for (const auto& location : locations) {
        if (!db->objectForPrimaryKey(KVRSource::className(), location)) {
          db->add(KVRSource::newSourceWithLocation(location).toObject());
        }
      }
    });
    if (error) KVLog("Adding the default sources failed: %s", error->localizedDescription().c_str());
  });
}

}  // namespace

namespace {
std::unique_ptr<KVRPackageManager>& sharedInstance() {
  static auto* instance = new std::unique_ptr<KVRPackageManager>();  // lives as long as the process
  return *instance;
}
}  // namespace

KVRPackageManager& KVRPackageManager::sharedPackageManager() {
  if (!sharedInstance()) {
    KVLog("*** The database facade was asked for before the launch made it");
    std::fprintf(stderr, "quillbark: the database facade was asked for before the launch made it\n");
    std::abort();
  }
  return *sharedInstance();
}

KVRPackageManager& KVRPackageManager::startSharedPackageManager(std::shared_ptr<KVRSources> sources,
                                                                std::shared_ptr<KVRPackages> packages) {
  sharedInstance() = std::make_unique<KVRPackageManager>(std::move(sources), std::move(packages));
  return *sharedInstance();
}

KVRPackageManager::KVRPackageManager(std::shared_ptr<KVRSources> sources, std::shared_ptr<KVRPackages> packages)
    : sources_(std::move(sources)),
      packages_(std::move(packages)),
      developers_(std::make_shared<KVRDevelopers>()),
      searchHistories_(std::make_shared<KVRSearchHistories>()) {
  bool added = setDefaultSourcesIfDatabaseIsEmpty();
  bool bootstrap = verifyDefaultSourcesForJailbreakTool();
  if (added || bootstrap || refreshIsNeeded()) {
    scheduledRefresh_ = true;
    // Only the sources manager is needed then: it is what the callback holds, weakly.
    DispatchQueue::mainQueue().asyncAfter(3.0, [sources = std::weak_ptr<KVRSources>(sources_)] {
      DispatchQueue::globalDefault().async([sources] {
        if (auto manager = sources.lock()) manager->refreshAllSources();
      });
    });
  }
}

KVRPackageManager::~KVRPackageManager() = default;

void KVRPackageManager::refreshAllSources() { sources_->refreshAllSources(); }

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
