#pragma once
// Confirming the queue, apart from the screen that asks: the queued records, their queue
// string, and the start of the work once the dry run has said what it means. The
// confirmation screen calls these; so do the tests of the road.
#include <cstddef>
#include <string>
#include <vector>

#include "core/KVPackageDownloading.h"
#include "database/KVRPackage.h"
#include "operations/APTDependsTree.h"

class KVRPackages;

class KVPackageQueue {
 public:
  // The queued records ("isInTheQueue = 1"), sorted by name.
  static std::vector<KVRPackage> queuedPackages();
  // The queue string of the queued records (empty when nothing is queued).
  static std::string queueString();
  // Starts the work of `queue`, the queue string whose dry run gave `tree`: one batch of
  // downloads of what the tree lists to fetch (each a package with a record), which runs
  // APT on exactly that queue once they have ended, or, with nothing to fetch, that APT
  // run at once; the run's output names the packages the tree touches. Then no package
  // stays queued. `archives` are installed with the queue (they are not fetched).
  // Answers how many downloads were queued.
  static size_t launchQueueActions(KVRPackages& packages, const std::string& queue, const APTDependsTree& tree,
                                   const std::vector<KVLocalArchive>& archives = {});

  KVPackageQueue() = delete;
};
