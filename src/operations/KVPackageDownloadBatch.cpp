#include "operations/KVPackageDownloadBatch.h"

#include "core/KVPipelineManager.h"
#include "foundation/Log.h"
#include "operations/KVPackageAPTOperationTask.h"
#include "operations/KVPackageDownloadTask.h"

KVPackageDownloadBatch::KVPackageDownloadBatch(KVPackageDownloadServices services, KVConfirmedQueue queue)
    : services_(std::move(services)), queue_(std::move(queue)) {}

void KVPackageDownloadBatch::add(size_t count) {
  std::lock_guard<std::mutex> lock(mutex_);
  pending_ += count;
}

bool KVPackageDownloadBatch::end(bool success) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!success) failed_ = true;
  if (pending_ > 0) --pending_;
  if (pending_ > 0 || closed_) return false;
  closed_ = true;
  if (failed_) KVLog("A download of the queue failed: the queue is not installed");
  return !failed_;
}

bool KVPackageDownloadBatch::isOpen() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return !closed_;
}

void KVPackageDownloadBatch::queueInstall() {
  services_.downloadStats->postDownloadStatsForRegisteredPackages();
  if (queue_.isEmpty()) {
    KVLog("The downloads ended but they belong to no queue: nothing to install");
    return;
  }
  KVPipelineManager::sharedManager().queueTask(std::make_shared<KVPackageAPTOperationTask>(queue_));
}

KVPackageDownloads::KVPackageDownloads(KVPackageDownloadServices services) : services_(std::move(services)) {}

size_t KVPackageDownloads::downloadPackagesWithIdentifiers(const std::vector<std::string>& identifiers,
                                                           const KVConfirmedQueue& queue) {
  std::vector<std::string> named;
  for (const auto& identifier : identifiers)
    if (!identifier.empty()) named.push_back(identifier);
  if (named.empty()) return 0;
  std::shared_ptr<KVPackageDownloadBatch> batch;
  {
    // Counted before any is queued, so a fast first download cannot end the batch early.
    std::lock_guard<std::mutex> lock(mutex_);
    if (!open_ || !open_->isOpen() || !(open_->queue() == queue))
      open_ = std::make_shared<KVPackageDownloadBatch>(services_, queue);
    batch = open_;
    batch->add(named.size());
  }
  size_t queued = 0;
  for (const auto& identifier : named) {
    if (KVPipelineManager::sharedManager().queueTask(std::make_shared<KVPackageDownloadTask>(identifier, batch))) {
      ++queued;
      continue;
    }
    // Already downloading in an earlier batch, or no background time: this batch
    // cannot have its archive.
    KVLog("The download of %s was not queued", identifier.c_str());
    batch->end(false);
  }
  return queued;
}
