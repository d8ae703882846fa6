#pragma once
// The composition root: builds the managers once, in one place, and connects the
// subsystems. Subsystems call one another directly where the layers allow; where a lower
// one must call a manager built above it (the pipeline and the database call the sources
// and packages managers and make the cache-update task; the refresh asks the APT layer,
// the payment client and the repository directory), the root hands it the manager
// through core/KVConnections. The only other thing handed in is the environment, the
// platform's effects; main() gives the application's, tests give recording ones.
#include <memory>

#include "core/KVConnections.h"
#include "foundation/Error.h"

class QuillbarkRoot {
 public:
  // The managers built by subsystems above the ones that call them. Until one is built,
  // the root's choice is a named stand-in that logs loudly whenever it is asked.
  struct Managers {
    // The sources manager (KVRSources).
    std::shared_ptr<KVSourcesManaging> sources;
    // The packages manager (KVRPackages).
    std::shared_ptr<KVPackagesManaging> packages;
    // The maker of the cache-update task (KVUpdateInformationCacheTask).
    std::shared_ptr<KVCacheUpdateTaskMaking> cacheUpdate;
    // The APT layer's list files, for the refresh and the sources manager.
    std::shared_ptr<KVSourceListsManaging> sourceLists;
    // The payment client, for the refresh's endpoint question and purchases update.
    std::shared_ptr<KVPaymentServiceAsking> payment;
    // The vendor service's repository directory, to which refreshed sources are submitted.
    std::shared_ptr<KVRepositoryDirectorySubmitting> directory;
    // The package operations' downloads of a confirmed queue, for the packages manager.
    std::shared_ptr<KVPackageDownloading> downloads;
    // The application delegate's register of downloads to count, for the download task.
    std::shared_ptr<KVDownloadStatsRegistering> downloadStats;
    // The vendor account's uploader of the followed developers, for the developers manager.
    std::shared_ptr<KVFollowedDevelopersSyncing> followedDevelopers;
  };
  static Managers standardManagers();

  // Connects the subsystems and builds the managers. Every piece of the environment and
  // every manager must be there: otherwise nothing starts and the error names each
  // missing piece. Starting again (tests do) replaces what the last start connected.
  [[nodiscard]] static ErrorRef start(KVEnvironment environment, Managers managers = standardManagers());

  QuillbarkRoot() = delete;
};
