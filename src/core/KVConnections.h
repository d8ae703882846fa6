#pragma once
// What the composition root (src/app) hands the subsystems: the platform's effects and
// the managers they call above themselves. It is installed once, whole, at start-up (tests
// install their own); nothing here has an empty default that quietly does nothing.
#include <memory>
#include <string>
#include <vector>

#include "core/KVCacheUpdateTaskMaking.h"
#include "core/KVDownloadStatsRegistering.h"
#include "core/KVEnvironment.h"
#include "core/KVFollowedDevelopersSyncing.h"
#include "core/KVPackageDownloading.h"
#include "core/KVPackagesManaging.h"
#include "core/KVPaymentServiceAsking.h"
#include "core/KVRepositoryDirectorySubmitting.h"
#include "core/KVSourceListsManaging.h"
#include "core/KVSourcesManaging.h"
#include "foundation/Error.h"

inline constexpr const char* KVConnectionsErrorDomain = "KVConnectionsErrorDomain";

struct KVConnections {
  KVEnvironment environment;
  std::shared_ptr<KVSourcesManaging> sources;
  std::shared_ptr<KVPackagesManaging> packages;
  std::shared_ptr<KVCacheUpdateTaskMaking> cacheUpdate;
  std::shared_ptr<KVSourceListsManaging> sourceLists;
  std::shared_ptr<KVPaymentServiceAsking> payment;
  std::shared_ptr<KVRepositoryDirectorySubmitting> directory;
  std::shared_ptr<KVPackageDownloading> downloads;
  std::shared_ptr<KVDownloadStatsRegistering> downloadStats;
  std::shared_ptr<KVFollowedDevelopersSyncing> followedDevelopers;

  // The names of the missing pieces ("environment.runCommand", "sources", ...).
  std::vector<std::string> missingPieces() const;

  // Installs `connections` for the process, replacing any installed before. When a piece
  // is missing nothing is installed and the error names every missing piece.
  [[nodiscard]] static ErrorRef install(KVConnections connections);
  // The installed connections. Asking before anything was installed is a programming
  // error: the process ends, naming `user`.
  static std::shared_ptr<const KVConnections> current(const char* user);
  static bool installed();
  // Forgets the installed connections, as before start-up. For tests.
  static void uninstall();
};
