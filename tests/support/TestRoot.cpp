#include "support/TestRoot.h"

#include <gtest/gtest.h>

#include "account/KVFollowedDevelopers.h"
#include "account/KVRepositoryDirectory.h"
#include "app/KVDownloadStatsRegister.h"
#include "app/KVRootScreens.h"
#include "database/KVRPackages.h"
#include "database/KVRSources.h"
#include "interface/KVTabBarController.h"
#include "foundation/RunLoop.h"
#include "operations/KVAPTSourceLists.h"
#include "operations/KVPackageDownloadBatch.h"
#include "payment/KVRepoStoreRefreshServices.h"
#include "support/RecordingScreens.h"

struct TestRoot::Record {
  mutable std::mutex mutex;
  std::vector<std::string> commands;
  std::vector<KVAlertCard> cards;
  std::vector<uint64_t> endedGrants;
  std::vector<bool> idleTimerChanges;
  std::vector<uint64_t> updateCounts;
  bool refuseGrants = false;
  uint64_t nextGrant = 1;
  KVOwnerAuthentication ownerAnswer = KVOwnerAuthentication::Unavailable;
  std::vector<std::string> authenticationReasons;
};

bool TestSources::refreshAllSources() {
  ++refreshes;
  std::function<void()> call;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    call = onRefresh_;
  }
  if (call) call();
  return true;
}

std::optional<Date> TestSources::currentRefreshDate() {
  std::lock_guard<std::mutex> lock(mutex_);
  return refreshDate_;
}

void TestSources::setRefreshDate(std::optional<Date> date) {
  std::lock_guard<std::mutex> lock(mutex_);
  refreshDate_ = date;
}

void TestSources::onRefresh(std::function<void()> call) {
  std::lock_guard<std::mutex> lock(mutex_);
  onRefresh_ = std::move(call);
}

void TestPackages::rebuildPackagesCategoriesCache() {
  ++categoryRebuilds;
  if (!RunLoop::isMainThread()) ++categoryRebuildsOffMain;
}

void TestPackages::removeCachedImagesForPackages(const std::vector<std::string>& identifiers) {
  std::lock_guard<std::mutex> lock(mutex_);
  removals_.insert(removals_.end(), identifiers.begin(), identifiers.end());
}

std::vector<std::string> TestPackages::cachedImageRemovals() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return removals_;
}

std::optional<KVPackageInstallInfo> TestPackages::packageInstallInfo(const std::string& identifier) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = packages_.find(identifier);
  if (it == packages_.end()) return std::nullopt;
  return it->second;
}

void TestPackages::setInstallInfo(std::map<std::string, KVPackageInstallInfo> packages) {
  std::lock_guard<std::mutex> lock(mutex_);
  packages_ = std::move(packages);
}

std::shared_ptr<KVTask> TestCacheUpdate::makeCacheUpdateTask() {
  ++made;
  std::function<std::shared_ptr<KVTask>()> maker;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    maker = maker_;
  }
  return maker ? maker() : nullptr;
}

void TestCacheUpdate::setMaker(std::function<std::shared_ptr<KVTask>()> maker) {
  std::lock_guard<std::mutex> lock(mutex_);
  maker_ = std::move(maker);
}

KVScreenContext screenContext() { return QuillbarkRoot::screenContext("a test"); }

TestRoot::TestRoot() : record_(std::make_shared<Record>()) { start(environment()); }

TestRoot::TestRoot(KVEnvironment environment) : record_(std::make_shared<Record>()) { start(std::move(environment)); }

TestRoot::TestRoot(WithSourcesManager) : sourcesManager(std::make_shared<KVRSources>()), record_(std::make_shared<Record>()) {
  start(environment());
}

TestRoot::TestRoot(WithManagers)
    : sourcesManager(std::make_shared<KVRSources>()),
      packagesManager(std::make_shared<KVRPackages>()),
      record_(std::make_shared<Record>()) {
  start(environment());
}

QuillbarkRoot::Managers TestRoot::managers() const {
  QuillbarkRoot::Managers managers;
  managers.sources = sourcesManager ? sourcesManager : sources;
  managers.packages = packagesManager ? packagesManager : packages;
  managers.cacheUpdate = cacheUpdate;
  managers.sourceLists = std::make_shared<KVAPTSourceLists>();
  managers.payment = std::make_shared<KVRepoStoreRefreshServices>();
  managers.directory = std::make_shared<KVRepositoryDirectory>();
  managers.downloadStats = std::make_shared<KVDownloadStatsRegister>();
  // The downloads are handed the payment client and the register they use.
  managers.downloads =
      std::make_shared<KVPackageDownloads>(KVPackageDownloadServices{managers.payment, managers.downloadStats});
  managers.followedDevelopers = std::make_shared<KVFollowedDevelopersUpload>();
  return managers;
}

void TestRoot::start(KVEnvironment environment) {
  ErrorRef error = QuillbarkRoot::start(std::move(environment), managers());
  EXPECT_EQ(error, nullptr) << (error ? error->localizedDescription() : "");
}

std::shared_ptr<RecordingScreens> TestRoot::recordScreens() {
  std::shared_ptr<RecordingScreens> made;
  ErrorRef error = QuillbarkRoot::start(environment(), managers(),
                                        [&made](std::shared_ptr<KVRSources> sources, std::shared_ptr<KVRPackages> packages,
                                                std::shared_ptr<KVApplicationActions> actions) {
                                          made = std::make_shared<RecordingScreens>(sources, packages, actions);
                                          return made;
                                        });
  EXPECT_EQ(error, nullptr) << (error ? error->localizedDescription() : "");
  return made;
}

std::shared_ptr<KVTabBarController> TestRoot::tabBar() { return QuillbarkRoot::screens("TestRoot")->tabBar(); }

// The pieces hold the record, not the root, so they stay valid after the root object.
KVEnvironment TestRoot::environment() const {
  auto record = record_;
  KVEnvironment environment;
  environment.runCommand = [record](const std::string& line) {
    std::lock_guard<std::mutex> lock(record->mutex);
    record->commands.push_back(line);
    return 0;
  };
  environment.beginBackgroundTask = [record](std::function<void()>) -> uint64_t {
    std::lock_guard<std::mutex> lock(record->mutex);
    return record->refuseGrants ? 0 : record->nextGrant++;
  };
  environment.endBackgroundTask = [record](uint64_t grant) {
    std::lock_guard<std::mutex> lock(record->mutex);
    record->endedGrants.push_back(grant);
  };
  environment.setIdleTimerDisabled = [record](bool disabled) {
    std::lock_guard<std::mutex> lock(record->mutex);
    record->idleTimerChanges.push_back(disabled);
  };
  environment.presentAlertCard = [record](KVAlertCard card) {
    std::lock_guard<std::mutex> lock(record->mutex);
    record->cards.push_back(std::move(card));
  };
  environment.showUpdateCount = [record](uint64_t count) {
    std::lock_guard<std::mutex> lock(record->mutex);
    record->updateCounts.push_back(count);
  };
  environment.authenticateDeviceOwner = [record](const std::string& reason,
                                                 std::function<void(KVOwnerAuthentication)> reply) {
    KVOwnerAuthentication answer;
    {
      std::lock_guard<std::mutex> lock(record->mutex);
      record->authenticationReasons.push_back(reason);
      answer = record->ownerAnswer;
    }
    reply(answer);
  };
  return environment;
}

void TestRoot::setOwnerAuthentication(KVOwnerAuthentication answer) {
  std::lock_guard<std::mutex> lock(record_->mutex);
  record_->ownerAnswer = answer;
}

std::vector<std::string> TestRoot::authenticationReasons() const {
  std::lock_guard<std::mutex> lock(record_->mutex);
  return record_->authenticationReasons;
}

std::vector<std::string> TestRoot::commands() const {
  std::lock_guard<std::mutex> lock(record_->mutex);
  return record_->commands;
}

std::vector<KVAlertCard> TestRoot::cards() const {
  std::lock_guard<std::mutex> lock(record_->mutex);
  return record_->cards;
}

void TestRoot::refuseGrants(bool refuse) {
  std::lock_guard<std::mutex> lock(record_->mutex);
  record_->refuseGrants = refuse;
}

std::vector<uint64_t> TestRoot::endedGrants() const {
  std::lock_guard<std::mutex> lock(record_->mutex);
  return record_->endedGrants;
}

std::vector<uint64_t> TestRoot::updateCounts() const {
  std::lock_guard<std::mutex> lock(record_->mutex);
  return record_->updateCounts;
}

std::vector<bool> TestRoot::idleTimerChanges() const {
  std::lock_guard<std::mutex> lock(record_->mutex);
  return record_->idleTimerChanges;
}
