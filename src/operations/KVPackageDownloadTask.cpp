#include "operations/KVPackageDownloadTask.h"

#include <cstdlib>

#include "core/KVErrorDomain.h"
#include "core/KVPipelineManager.h"
#include "core/KVPlatform.h"
#include "core/KVQueueStateNotification.h"
#include "core/KVReplyLimits.h"
#include "core/NSURLRequestKorvaleExtensions.h"
#include "core/NSURLSessionConfigurationNoCache.h"
#include "database/KVRSource.h"
#include "foundation/BlockHelpers.h"
#include "foundation/Dispatch.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/URLSession.h"
#include "operations/KVAPTManager.h"
#include "operations/KVPackageDownloadBatch.h"
#include "operations/KVVerboseLog.h"

namespace {


// Every download reports on this one queue, so two archives are never placed at once
// (the APT layer runs one command at a time) and the main thread never waits for one.
std::shared_ptr<DispatchQueue> downloadsQueue() {
  static std::shared_ptr<DispatchQueue> queue = DispatchQueue::makeSerial("KVPackageDownloads");
  return queue;
}

// Hands the transfer's reports to the task while it lives.
class TransferDelegate : public URLSessionDelegate {
 public:
  explicit TransferDelegate(std::weak_ptr<KVPackageDownloadTask> task) : task_(std::move(task)) {}
  void didWriteData(URLSession&, URLSessionDownloadTask&, int64_t, int64_t total, int64_t expected) override {
    if (auto task = task_.lock()) task->didWriteData(total, expected);
  }
  void didFinishDownloadingToURL(URLSession&, URLSessionDownloadTask& transfer, const URL& location) override {
    if (auto task = task_.lock()) task->didFinishDownloadingToURL(transfer, location);
  }
  void didCompleteWithError(URLSession&, URLSessionTask&, ErrorRef error) override {
    if (auto task = task_.lock()) task->didCompleteWithError(std::move(error));
  }

 private:
  std::weak_ptr<KVPackageDownloadTask> task_;
};

ErrorRef downloadError(const std::string& message) {
  return makeError(KVErrorDomain, KVErrorInvalidServerData, message);
}
ErrorRef paymentError(const std::string& message) { return makeError(KVErrorDomain, KVErrorPaymentService, message); }

// A request of the payment service as the download sends it: a bare POST with a JSON body.
URLRequest paymentRequest(const std::string& address, const Value& members) {
  URLRequest request(URL::fromString(address));
  request.setReplyLimits(KVReplyLimits::kPaymentService);
  request.setHTTPMethod("POST");
  request.setValue("application/json", "Accept");
  request.setValue("application/json", "Content-Type");
  Data body = dataFromString(members.toJSON());
  request.setValue(std::to_string(body.size()), "Content-Length");
  request.setHTTPBody(std::move(body));
  return request;
}

void sendPaymentRequest(const URLRequest& request, URLSessionDataCompletion completion) {
  auto session = URLSession::sessionWithConfiguration(NSURLSessionConfigurationNoCache::noCacheConfigureation());
  session->dataTaskWithRequest(request, std::move(completion))->resume();
  session->finishTasksAndInvalidate();
}

Value deviceMembers(const std::string& token) {
  return Value::dict({{"token", token},
                      {"udid", KVPlatform::deviceUDID().value_or("")},
                      {"device", KVPlatform::deviceModelID()}});
}

}  // namespace

KVPackageDownloadTask::KVPackageDownloadTask(const std::string& identifier,
                                             std::shared_ptr<KVPackageDownloadBatch> batch)
    : packageIdentifier_(identifier), batch_(std::move(batch)), status_(NSLocalizedString("Waiting...")) {
  if (auto record = KVRPackage::objectForPrimaryKey(identifier)) package_ = *record;
  const auto& queued = package_.queuedVersion();
  if (queued && !queued->empty()) {
    // The last offer of the queued version wins; none leaves the three empty.
    for (const auto& offer : package_.availableVersions()) {
      if (offer.version() != *queued) continue;
      location_ = offer.fileLocation().value_or("");
      source_ = offer.source().value_or("");
      version_ = offer.version().value_or("");
    }
  } else {
    location_ = package_.location().value_or("");
    source_ = package_.sourceLocation().value_or("");
    version_ = package_.version().value_or("");
  }
}

KVPackageDownloadTask::~KVPackageDownloadTask() {
  if (session_) session_->invalidateAndCancel();
}

std::shared_ptr<KVPackageDownloadTask> KVPackageDownloadTask::self() {
  return std::static_pointer_cast<KVPackageDownloadTask>(shared_from_this());
}

std::string KVPackageDownloadTask::pipelineID() const { return KVPipelinePackageDownloadOperation; }

std::string KVPackageDownloadTask::taskDescription() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return status_;
}

std::string KVPackageDownloadTask::name() const {
  std::string name = package_.name().value_or("");
  return name.empty() ? packageIdentifier_ : name;
}

void KVPackageDownloadTask::setStatus(const std::string& text, bool isError) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    status_ = text;
  }
  KVPipelineManager::sharedManager().taskStatusChanged(this);
  KVVerboseLog::post(text, isError);
}

void KVPackageDownloadTask::setProgress(double progress) {
  progress_.store(progress);
  KVPipelineManager::sharedManager().taskProgressChanged(this);
}

// ---- Start

void KVPackageDownloadTask::taskStart() {
  setProgress(0.0);
  setStatus(NSLocalizedFormat("Downloading %@...", {name()}), false);
  auto source = source_.empty() ? std::nullopt : KVRSource::objectForPrimaryKey(source_);
  std::string endpoint = source ? source->endpoint().value_or("") : "";
  if (package_.price() == "Paid" && !endpoint.empty() && !payment().isExemptFromPayment(source_))
    return startPaidRoad(endpoint);
  if (location_.empty()) {
    return endWithFailure(downloadError(
        NSLocalizedFormat("%@ %@ has no archive to download.", {name(), version_.empty() ? "?" : version_})));
  }
  startTransfer(location_, 180);
}

void KVPackageDownloadTask::startTransfer(const std::string& address, double timeout) {
  if (!URL::fromString(address)) {
    return endWithFailure(downloadError(NSLocalizedFormat("The archive address of %@ is not valid: %@", {name(), address})));
  }
  URLSessionConfiguration configuration = NSURLSessionConfigurationNoCache::noCacheConfigureation();
  configuration.timeoutIntervalForRequest = timeout;
  auto session = URLSession::sessionWithConfiguration(configuration, std::make_shared<TransferDelegate>(self()),
                                                      downloadsQueue());
  URLRequest request = NSURLRequestKorvaleExtensions::QuillbarkRequestWithString(address, "GET", static_cast<int64_t>(timeout));
  request.setReplyLimits(KVReplyLimits::kPackageArchive);
  auto transfer = session->downloadTaskWithRequest(request);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    session_ = session;
    transfer_ = transfer;
  }
  if (cancelled_.load()) transfer->cancel();  // cancelled while the service was asked
  transfer->resume();
}

// ---- The paid road

void KVPackageDownloadTask::startPaidRoad(const std::string& endpoint) {
  payment().logPurchaseInfoForPackage(packageIdentifier_);
  auto token = payment().storedToken(source_);
  if (!token) {
    return endWithoutPurchase("SileoRepoLogin", Value::dict({{"name", name()}, {"sourceLocation", source_}}));
  }
  std::string address = payment().packageRequestAddress(endpoint, packageIdentifier_, "info");
  auto task = self();
  sendPaymentRequest(paymentRequest(address, deviceMembers(*token)),
                     [task, address, endpoint, token = *token](std::optional<Data> data, URLResponseRef, ErrorRef error) {
                       if (task->cancelled_.load()) return;
                       std::string failure;
                       std::optional<Value> json;
                       if (error) {
                         failure = error->localizedDescription();
                       } else if (!data || data->empty()) {
                         failure = "no data recieved";
                       } else {
                         json = Value::fromJSON(*data);
                         if (!json || !json->isDictionary()) failure = "failed to parse data";
                       }
                       if (!failure.empty()) {
                         KVLog("*** Error: package info request failed for (%s). ERR %s", address.c_str(),
                               failure.c_str());
                         return task->endWithFailure(
                             error ? error
                                   : paymentError(NSLocalizedFormat("The payment service gave no information on %@.",
                                                                    {task->name()})));
                       }
                       if ((*json)["purchased"].asBool() && (*json)["available"].asBool())
                         return task->authorize(endpoint, token);
                       task->endWithoutPurchase("PurchaseNotification",
                                                Value::dict({{"name", task->name()},
                                                             {"url", task->package_.website().value_or("")}}));
                     });
}

void KVPackageDownloadTask::authorize(const std::string& endpoint, const std::string& token) {
  Value members = deviceMembers(token);
  members.set("version", version_);
  members.set("repo", source_);
  std::string address = payment().packageRequestAddress(endpoint, packageIdentifier_,
                                                                      "authorize_download");
  auto task = self();
  sendPaymentRequest(paymentRequest(address, members), [task](std::optional<Data> data, URLResponseRef, ErrorRef error) {
    if (task->cancelled_.load()) return;
    if (error) return task->endWithFailure(error);
    std::optional<Value> json = data ? Value::fromJSON(*data) : std::nullopt;
    std::string url = json && json->isDictionary() ? (*json)["url"].asString() : "";
    if (url.empty()) {
      return task->endWithFailure(
          paymentError(NSLocalizedFormat("The payment service gave no download address for %@.", {task->name()})));
    }
    task->startTransfer(url, 10);
  });
}

// ---- The transfer

void KVPackageDownloadTask::didWriteData(int64_t totalBytesWritten, int64_t totalBytesExpectedToWrite) {
  // The record's size, as the repository announced it; the server's only without one.
  double size = std::strtod(package_.size().value_or("0").c_str(), nullptr);
  if (size <= 0) size = static_cast<double>(totalBytesExpectedToWrite);
  setProgress(size > 0 ? static_cast<double>(totalBytesWritten) / size : 0.0);
}

void KVPackageDownloadTask::didFinishDownloadingToURL(URLSessionDownloadTask& transfer, const URL& location) {
  canCancel_.store(false);
  setProgress(0.0);
  URLResponseRef response = transfer.response();
  int status = response ? response->statusCode() : 0;
  ErrorRef error;
  bool placed = false;
  if (status < 200 || status > 299) {
    // An error page is no archive.
    error = downloadError(NSLocalizedFormat("Downloading %@ failed: the server answered %@.",
                                            {name(), std::to_string(status)}));
  } else if (KVAPTManager::copyDebToSandboxFromPath(location.path())) {
    placed = true;
  } else {
    error = downloadError(NSLocalizedFormat("The archive of %@ could not be placed for APT.", {name()}));
  }
  std::lock_guard<std::mutex> lock(mutex_);
  placed_ = placed;
  placementError_ = error;
}

void KVPackageDownloadTask::didCompleteWithError(ErrorRef error) {
  ErrorRef placementError;
  bool placed;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    placementError = placementError_;
    placed = placed_;
    if (session_) session_->finishTasksAndInvalidate();
  }
  if (error) return endWithFailure(error);
  if (placementError) return endWithFailure(placementError);
  if (!placed) return endWithFailure(downloadError(NSLocalizedFormat("No archive of %@ arrived.", {name()})));
  endWithSuccess();
}

void KVPackageDownloadTask::taskCancel() {
  if (!canCancel_.load() || cancelled_.exchange(true)) return;
  std::shared_ptr<URLSessionDownloadTask> transfer;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    transfer = transfer_;
  }
  if (transfer) {
    transfer->cancel();  // arrives as a failed transfer
    return;
  }
  cancel();  // one that has not started never runs
  if (!claimEnd()) return;
  KVPipelineManager::sharedManager().taskDoneWithSuccess(this);
  finishOperation();
  finishInBatch(false);
}

// ---- Ends

bool KVPackageDownloadTask::claimEnd() {
  canCancel_.store(false);
  return !ended_.exchange(true);
}

void KVPackageDownloadTask::finishInBatch(bool success) {
  if (batch_->end(success)) batch_->queueInstall();
}

void KVPackageDownloadTask::endWithSuccess() {
  if (!claimEnd()) return;
  setStatus(NSLocalizedFormat("Done downloading %@.", {name()}), false);
  if (!package_.sourceLocation().value_or("").empty() && KVRSource::objectForPrimaryKey(*package_.sourceLocation()))
    batch_->services().downloadStats->packageDownloaded(packageIdentifier_);
  // The APT run is queued before this end is reported, so the pipeline never looks empty
  // between the last download and the run (its empty-pipeline actions would come early).
  finishInBatch(true);
  KVPipelineManager::sharedManager().taskDoneWithSuccess(this);
  finishOperation();
}

void KVPackageDownloadTask::endWithFailure(ErrorRef error) {
  if (!claimEnd()) return;
  setStatus("\n" + (error ? error->localizedDescription() : std::string()), true);
  KVPipelineManager::sharedManager().taskDoneWithError(this, error);
  NotificationCenter::defaultCenter().post(KVQueueStateNotificationName(packageIdentifier_), Value(),
                                           Value::dict({{"Message", "Finished with error"}}));
  finishOperation();
  finishInBatch(false);
}

void KVPackageDownloadTask::endWithoutPurchase(const std::string& notification, Value userInfo) {
  if (!claimEnd()) return;
  NotificationCenter::defaultCenter().post(KVQueueStateNotificationName(packageIdentifier_), Value(),
                                           Value::dict({{"Message", "Finished with error"}}));
  // Not a failure of the task: the pipeline hears a success without error.
  KVPipelineManager::sharedManager().taskDoneWithSuccess(this);
  performOnMainThread([notification, userInfo] { NotificationCenter::defaultCenter().post(notification, Value(), userInfo); });
  finishOperation();
  finishInBatch(false);
}
