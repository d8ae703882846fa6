#pragma once
// The composition root started with test pieces: commands, background grants, idle-timer
// changes and alert cards are recorded instead of carried out, and the managers above
// the pipeline and the database are small ones whose answers a test sets. Every test
// starts with a fresh one (TestResets); a test that needs to look at the pieces makes its
// own TestRoot, which replaces it.
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/QuillbarkRoot.h"
#include "core/KVTask.h"
#include "database/KVRPackages.h"
#include "database/KVRSources.h"

// The sources manager with the pipeline's three questions answered by the test: refreshes
// are counted, not run, and the batch date is what the test sets.
class TestSources : public KVRSources {
 public:
  bool refreshAllSources() override;
  std::optional<Date> currentRefreshDate() override;
  void refreshBatchEnded() override { ++batchEnds; }
  void setRefreshDate(std::optional<Date> date);
  // Called on every refresh of all sources (on the caller's thread).
  void onRefresh(std::function<void()> call);

  std::atomic<int> refreshes{0};
  std::atomic<int> batchEnds{0};

 private:
  std::mutex mutex_;
  std::optional<Date> refreshDate_;
  std::function<void()> onRefresh_;
};

// The packages manager with the pipeline's and the database's questions answered by the
// test: rebuilds and removals are counted, install facts are what the test sets.
class TestPackages : public KVRPackages {
 public:
  void rebuildPackagesCategoriesCache() override;
  void removeCachedImagesForPackages(const std::vector<std::string>& identifiers) override;
  std::optional<KVPackageInstallInfo> packageInstallInfo(const std::string& identifier) override;
  void setInstallInfo(std::map<std::string, KVPackageInstallInfo> packages);

  std::atomic<int> categoryRebuilds{0};
  std::atomic<int> categoryRebuildsOffMain{0};
  // Every identifier whose cached images were to be removed, in order.
  std::vector<std::string> cachedImageRemovals() const;

 private:
  mutable std::mutex mutex_;
  std::map<std::string, KVPackageInstallInfo> packages_;
  std::vector<std::string> removals_;
};

class TestCacheUpdate : public KVCacheUpdateTaskMaking {
 public:
  std::shared_ptr<KVTask> makeCacheUpdateTask() override;
  // What each call answers; none by default.
  void setMaker(std::function<std::shared_ptr<KVTask>()> maker);
  std::atomic<int> made{0};

 private:
  std::mutex mutex_;
  std::function<std::shared_ptr<KVTask>()> maker_;
};

class RecordingScreens;
class KVTabBarController;

// What the running root hands the screens it makes: a test that makes a screen itself
// hands it the same.
KVScreenContext screenContext();

class TestRoot {
 public:
  // Starts the root with the recording environment and the test managers; the APT
  // layer's list files, the payment client, the repository directory, the downloads and
  // a fresh register of downloads to count are the real ones.
  TestRoot();
  // The same with `environment` instead (an application environment in a screen test).
  explicit TestRoot(KVEnvironment environment);
  // The same with the real sources manager (`sourcesManager`) in place of TestSources.
  struct WithSourcesManager {};
  explicit TestRoot(WithSourcesManager);
  // The same with the real sources and packages managers (`sourcesManager`,
  // `packagesManager`).
  struct WithManagers {};
  explicit TestRoot(WithManagers);

  // Starts the root again with the same pieces and a navigation that records the package
  // and developer pages opened (support/RecordingScreens.h), and answers it.
  std::shared_ptr<RecordingScreens> recordScreens();
  // The running root's tab bar, with the application's own screens, as a person starts on.
  std::shared_ptr<KVTabBarController> tabBar();

  // The recording environment of this root.
  KVEnvironment environment() const;
  std::vector<std::string> commands() const;
  std::vector<KVAlertCard> cards() const;
  // Grants asked for and ended; refused grants answer 0.
  void refuseGrants(bool refuse);
  std::vector<uint64_t> endedGrants() const;
  std::vector<bool> idleTimerChanges() const;
  // Every update count shown on the badges, in order.
  std::vector<uint64_t> updateCounts() const;
  // What the device owner answers when asked to authenticate (Unavailable by default),
  // and the reasons asked with.
  void setOwnerAuthentication(KVOwnerAuthentication answer);
  std::vector<std::string> authenticationReasons() const;

  std::shared_ptr<TestSources> sources = std::make_shared<TestSources>();
  std::shared_ptr<TestPackages> packages = std::make_shared<TestPackages>();
  std::shared_ptr<TestCacheUpdate> cacheUpdate = std::make_shared<TestCacheUpdate>();
  std::shared_ptr<KVRSources> sourcesManager;     // with WithSourcesManager and WithManagers only
  std::shared_ptr<KVRPackages> packagesManager;  // with WithManagers only

 private:
  struct Record;
  void start(KVEnvironment environment);
  QuillbarkRoot::Managers managers() const;
  std::shared_ptr<Record> record_;
};
