#pragma once
// The download of one queued package's archive into the private APT tree
// ("download.ops"), so that the APT run finds every archive in place and fetches
// nothing itself. A free package is fetched from its archive address with the
// repository headers; a paid one is first checked and authorised by its repository's
// payment service, which gives a short-lived address. The archive is placed under APT's
// own name. The downloads of one confirmed queue form a batch: the last of it to end,
// when every one ended well, queues the APT run of the batch's queue.
//
// Ends: success once the archive is placed; a failure (reported to the pipeline with
// its error, the package told "Finished with error") for a transfer that fails, a reply
// that is not 2xx, an archive that cannot be placed, a queued version without an
// archive address, and a payment service that cannot be asked or gives no address. A
// paid package whose repository holds no token for the user, or that the user has not
// bought, ends without error and asks the application to offer sign-in
// ("SileoRepoLogin") or the package's page ("PurchaseNotification").
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "core/KVTask.h"
#include "database/KVRPackage.h"
#include "foundation/Error.h"
#include "foundation/URL.h"
#include "foundation/Value.h"
#include "operations/KVPackageDownloadBatch.h"

class URLSession;
class URLSessionDownloadTask;

class KVPackageDownloadTask : public KVTask {
 public:
  // initWithPackage: the download of the package as its record is now, in `batch`, which
  // hands it its services (a batch of no queue: a download on its own, which queues no
  // APT run).
  KVPackageDownloadTask(const std::string& identifier, std::shared_ptr<KVPackageDownloadBatch> batch);
  ~KVPackageDownloadTask() override;

  std::string className() const override { return "KVPackageDownloadTask"; }
  void taskStart() override;
  std::string taskID() const override { return "Download-" + packageIdentifier_; }
  std::string pipelineID() const override;
  std::string taskDescription() const override;
  double taskProgress() const override { return progress_.load(); }
  bool taskCanCancel() const override { return canCancel_.load(); }
  // Before the transfer: ends as a success that installs nothing. During it: stops it,
  // which ends the task as a failed transfer.
  void taskCancel() override;

  const std::string& packageIdentifier() const { return packageIdentifier_; }
  // The copy of the record taken when the task was made.
  const KVRPackage& packageDictionary() const { return package_; }
  // The archive address, repository and version this download is for: the queued
  // version's (the last offer of it that matches) or the newest offered one's.
  const std::string& locationToUse() const { return location_; }
  const std::string& sourceToUse() const { return source_; }
  const std::string& versionToUse() const { return version_; }

  // Transfer reports (the session's delegate, on the downloads' queue).
  void didWriteData(int64_t totalBytesWritten, int64_t totalBytesExpectedToWrite);
  void didFinishDownloadingToURL(URLSessionDownloadTask& transfer, const URL& location);
  void didCompleteWithError(ErrorRef error);

 protected:
  void didCancel() override { taskCancel(); }

 private:
  KVPaymentServiceAsking& payment() const { return *batch_->services().payment; }
  std::shared_ptr<KVPackageDownloadTask> self();
  std::string name() const;
  void setStatus(const std::string& text, bool isError);
  void setProgress(double progress);
  void startTransfer(const std::string& address, double timeout);
  void startPaidRoad(const std::string& endpoint);
  void authorize(const std::string& endpoint, const std::string& token);
  void endWithSuccess();
  void endWithFailure(ErrorRef error);
  // The service says the user must sign in or buy first: no error for the pipeline.
  void endWithoutPurchase(const std::string& notification, Value userInfo);
  // Reports the end once; the batch hears it and may queue the APT run.
  bool claimEnd();
  void finishInBatch(bool success);

  const std::string packageIdentifier_;
  KVRPackage package_;
  std::string location_, source_, version_;
  std::shared_ptr<KVPackageDownloadBatch> batch_;

  mutable std::mutex mutex_;
  std::string status_;
  std::shared_ptr<URLSession> session_;
  std::shared_ptr<URLSessionDownloadTask> transfer_;
  ErrorRef placementError_;  // the archive arrived but could not be used
  bool placed_ = false;

  std::atomic<double> progress_{-1};
  std::atomic<bool> canCancel_{true};
  std::atomic<bool> cancelled_{false};
  std::atomic<bool> ended_{false};
};
