#pragma once
// The database facade: created once for the process, it seeds an empty database with
// the default repositories, adds the bootstrap repository of the detected jailbreak
// tool, and schedules a refresh of all sources when one is due.
#include <memory>

class KVRSources;
class KVRPackages;
class KVRDevelopers;
class KVRSearchHistories;

class KVRPackageManager {
 public:
  static KVRPackageManager& sharedPackageManager();

  // The sources manager the composition root made and connected (none when the root runs
  // another, as tests that count refreshes do).
  std::shared_ptr<KVRSources> sources() const;
  // The packages manager the composition root made and connected (none when the root
  // runs another).
  std::shared_ptr<KVRPackages> packages() const;
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
  KVRPackageManager();
  ~KVRPackageManager();
  KVRPackageManager(const KVRPackageManager&) = delete;
  KVRPackageManager& operator=(const KVRPackageManager&) = delete;

  // Whether this instance scheduled its delayed refresh.
  bool scheduledRefresh() const { return scheduledRefresh_; }

 private:
  std::shared_ptr<KVRDevelopers> developers_;
  std::shared_ptr<KVRSearchHistories> searchHistories_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  bool scheduledRefresh_ = false;
};
