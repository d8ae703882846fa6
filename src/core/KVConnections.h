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

// The managers the composition root builds, each with what the lower subsystems call in
// it, listed once: the members below, the root's own list (app/QuillbarkRoot.h) and the
// start-up check that names a missing one are all made from this list.
#define KV_CONNECTED_MANAGERS(X)                                                       \
  X(KVSourcesManaging, sources)                 /* the sources manager */              \
  X(KVPackagesManaging, packages)               /* the packages manager */             \
  X(KVCacheUpdateTaskMaking, cacheUpdate)       /* the maker of the cache-update task */ \
  X(KVSourceListsManaging, sourceLists)         /* the APT layer's list files */       \
  X(KVPaymentServiceAsking, payment)            /* the payment client */               \
  X(KVRepositoryDirectorySubmitting, directory) /* the vendor's repository directory */ \
  X(KVPackageDownloading, downloads)            /* the downloads of a confirmed queue */ \
  X(KVDownloadStatsRegistering, downloadStats)  /* the register of downloads to count */ \
  X(KVFollowedDevelopersSyncing, followedDevelopers) /* the followed-list uploader */

struct KVConnections {
  KVEnvironment environment;
#define KV_CONNECTION_MEMBER(Interface, name) std::shared_ptr<Interface> name;
  KV_CONNECTED_MANAGERS(KV_CONNECTION_MEMBER)
#undef KV_CONNECTION_MEMBER

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
