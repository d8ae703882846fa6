#pragma once
// What the packages manager (in the database) calls to fetch the archives of a confirmed
// queue: the download tasks are built above it, with the package operations. The
// composition root hands it the package operations' own.
#include <cstddef>
#include <string>
#include <vector>

class KVPackageDownloading {
 public:
  virtual ~KVPackageDownloading() = default;
  // Queues one download task per identifier on the pipeline, all in one batch: when the
  // last of the batch has ended, and every one of them ended well, the APT run of the
  // remembered queue is queued. A call while a batch is still fetching joins it. Answers
  // how many tasks were queued.
  virtual size_t downloadPackagesWithIdentifiers(const std::vector<std::string>& identifiers) = 0;
};
