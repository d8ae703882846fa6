#pragma once
// The database facade: made by the application's launch with the sources and packages
// managers the composition root built, it seeds an empty database with the default
// repositories, adds the bootstrap repository of the detected jailbreak tool, and
// schedules a refresh of all sources when one is due.
#include <memory>

class KVRSources;
class KVRPackages;
class KVRDevelopers;
class KVRSearchHistories;

class KVRPackageManager {
 public:
  // The facade the launch made. Asking before is a programming error: the process ends.
  static KVRPackageManager& sharedPackageManager();
  // Makes the process's facade (replacing one an earlier launch made, as tests launch
  // again) and answers it.
  static KVRPackageManager& startSharedPackageManager(std::shared_ptr<KVRSources> sources,
                                                      std::shared_ptr<KVRPackages> packages);

  const std::shared_ptr<KVRSources>& sources() const { return sources_; }
  const std::shared_ptr<KVRPackages>& packages() const { return packages_; }
  // The other record managers, made once by the facade.
  const std::shared_ptr<KVRDevelopers>& developers() const { return developers_; }
  const std::shared_ptr<KVRSearchHistories>& searchHistories() const { return searchHistories_; }

  // Asks the sources manager to refresh every source.
  void refreshAllSources();

  // Answers YES when the database held no source and the defaults are being added (on
  // a background queue, in one transaction).
  static bool setDefaultSourcesIfDatabaseIsEmpty();
  // Answers YES when the tool's bootstrap repository was missing and is being added.
  static bool verifyDefaultSourcesForJailbreakTool();
  // With a network connection: YES when no full refresh is recorded, the last one is
  // more than an hour old, or it lies in the future.
  static bool refreshIsNeeded();

  // The facade's start: the checks above and, when something was added or a refresh
  // is due, a refresh of all sources 3 s later. The process uses the shared instance;
  // tests make their own.
  KVRPackageManager(std::shared_ptr<KVRSources> sources, std::shared_ptr<KVRPackages> packages);
  ~KVRPackageManager();
  KVRPackageManager(const KVRPackageManager&) = delete;
  KVRPackageManager& operator=(const KVRPackageManager&) = delete;

  // Whether this instance scheduled its delayed refresh.
  bool scheduledRefresh() const { return scheduledRefresh_; }

 private:
  std::shared_ptr<KVRSources> sources_;
  std::shared_ptr<KVRPackages> packages_;
  std::shared_ptr<KVRDevelopers> developers_;
  std::shared_ptr<KVRSearchHistories> searchHistories_;
  bool scheduledRefresh_ = false;
};
