#pragma once
// The downloads of one confirmed queue. The APT run of that queue starts when the last of
// them has ended, counted on the batch itself: other tasks in the pipeline meanwhile (a
// source refresh, the cache update, another queue's downloads) neither hold it back nor
// start it early. A batch in which any download failed installs nothing.
//
// It is also the package operations' answer to the packages manager's request for
// downloads (KVPackageDownloading): each request queues its tasks in the open batch of
// its queue, or opens one.
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/KVDownloadStatsRegistering.h"
#include "core/KVPackageDownloading.h"
#include "core/KVPaymentServiceAsking.h"

// What the downloads are handed: the payment client, which authorises a paid package's
// download, and the register of downloads to count.
struct KVPackageDownloadServices {
  std::shared_ptr<KVPaymentServiceAsking> payment;
  std::shared_ptr<KVDownloadStatsRegistering> downloadStats;
};

class KVPackageDownloadBatch {
 public:
  // The downloads of `queue` (an empty queue string: downloads that install nothing).
  KVPackageDownloadBatch(KVPackageDownloadServices services, KVConfirmedQueue queue);

  const KVPackageDownloadServices& services() const { return services_; }
  const KVConfirmedQueue& queue() const { return queue_; }

  // Counts downloads that are about to be queued.
  void add(size_t count);
  // One download has ended. Answers true exactly once: for the last download of the
  // batch, when every download of it ended well.
  bool end(bool success);
  bool isOpen() const;

  // The last download of the batch ended well: the marked downloads are counted and the
  // APT run of the batch's queue is queued.
  void queueInstall();

 private:
  const KVPackageDownloadServices services_;
  const KVConfirmedQueue queue_;
  mutable std::mutex mutex_;
  size_t pending_ = 0;
  bool failed_ = false;
  bool closed_ = false;
};

class KVPackageDownloads : public KVPackageDownloading {
 public:
  explicit KVPackageDownloads(KVPackageDownloadServices services);
  size_t downloadPackagesWithIdentifiers(const std::vector<std::string>& identifiers,
                                         const KVConfirmedQueue& queue) override;

 private:
  const KVPackageDownloadServices services_;
  std::mutex mutex_;
  std::shared_ptr<KVPackageDownloadBatch> open_;
};
