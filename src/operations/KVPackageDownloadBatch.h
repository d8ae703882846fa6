#pragma once
// The downloads of one confirmed queue. The APT run starts when the last of them has
// ended, counted on the batch itself: other tasks in the pipeline meanwhile (a source
// refresh, the cache update) neither hold it back nor start it early. A batch in which
// any download failed installs nothing.
//
// It is also the package operations' answer to the packages manager's request for
// downloads (KVPackageDownloading): each request queues its tasks in the open batch, or
// opens one.
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/KVPackageDownloading.h"

class KVPackageDownloadBatch {
 public:
  // Counts downloads that are about to be queued.
  void add(size_t count);
  // One download has ended. Answers true exactly once: for the last download of the
  // batch, when every download of it ended well.
  bool end(bool success);
  bool isOpen() const;

  // The last download of a batch ended well: the marked downloads are counted and the
  // APT run of the remembered queue is queued.
  static void queueInstall();

 private:
  mutable std::mutex mutex_;
  size_t pending_ = 0;
  bool failed_ = false;
  bool closed_ = false;
};

class KVPackageDownloads : public KVPackageDownloading {
 public:
  size_t downloadPackagesWithIdentifiers(const std::vector<std::string>& identifiers) override;

 private:
  std::mutex mutex_;
  std::shared_ptr<KVPackageDownloadBatch> open_;
};
