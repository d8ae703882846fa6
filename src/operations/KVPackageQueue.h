#pragma once
// Confirming the queue, apart from the screen that asks: the queued records, their queue
// string remembered for the APT run, and the start of the work once the dry run has said
// what it means. The confirmation screen calls these; so do the tests of the road.
#include <cstddef>
#include <string>
#include <vector>

#include "database/KVRPackage.h"
#include "operations/APTDependsTree.h"

class KVPackageQueue {
 public:
  // The queued records ("isInTheQueue = 1"), sorted by name.
  static std::vector<KVRPackage> queuedPackages();
  // The queue string of the queued records, remembered by the APT layer for the run
  // (nothing is remembered when nothing is queued); answers it.
  static std::string rememberQueue();
  // Starts the work the dry run's tree describes: the package names for the APT run's
  // output, one batch of downloads of what the tree lists to fetch (each a package with
  // a record), or, with nothing to fetch, the APT run of the remembered queue at once;
  // then no package stays queued. Answers how many downloads were queued.
  static size_t launchQueueActions(const APTDependsTree& tree);

  KVPackageQueue() = delete;
};
