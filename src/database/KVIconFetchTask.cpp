#include "database/KVIconFetchTask.h"

#include "core/KVPipelineManager.h"
#include "core/NSStringHash.h"
#include "core/NSURLRequestKorvaleExtensions.h"
#include "database/KVIconProvider.h"
#include "foundation/Files.h"
#include "foundation/Log.h"
#include "foundation/URLSession.h"
#include "system/DeviceFiles.h"
#include "system/DeviceRoot.h"
#include "system/Reachability.h"
#include "uikit/UIImage.h"

namespace {

std::shared_ptr<URLSession> downloadSession() {
  URLSessionConfiguration configuration = URLSessionConfiguration::defaultSessionConfiguration();
  configuration.timeoutIntervalForRequest = KVIconProvider::kRequestTimeout;
  static auto session = URLSession::sessionWithConfiguration(configuration);
  return session;
}

// The task's identifier as a file name: no folder steps.
std::string fileNameFor(std::string text) {
  for (char& c : text)
    if (c == '/' || c == '\0') c = '_';
  if (text == "." || text == "..") text = "_";
  return text;
}

}  // namespace

std::string KVIconFetchTask::pipelineID() const { return KVPipelineMisc; }

void KVIconFetchTask::finishTask() {
  KVPipelineManager::sharedManager().taskDoneWithSuccess(this);
  finishOperation();
}

void KVIconFetchTask::finishWithLog(const std::string& text) {
  KVLog("%s", text.c_str());
  finishTask();
}

bool KVIconFetchTask::checkNetwork() {
  reach_ = Reachability::reachabilityForInternetConnection()->currentReachabilityStatus();
  if (reach_ == ReachableViaWiFi || reach_ == ReachableViaWWAN) return true;
  finishWithLog("Icon fetch task aborted, no network");
  return false;
}

void KVIconFetchTask::downloadIcon(const URL& url, std::function<void(const Data& bytes)> received) {
  URLRequest request = NSURLRequestKorvaleExtensions::requestWithURL(url);
  request.setTimeoutInterval(KVIconProvider::kRequestTimeout);
  request.setReplyLimits(KVReplyLimits::kIcon);
  std::string folder = Files::appendingPathComponent(DeviceRoot::devicePath(DeviceRoot::kApplicationSupport), "Downloads");
  tempFileName_ = Files::appendingPathComponent(folder, fileNameFor(taskID()));
  auto self = std::static_pointer_cast<KVIconFetchTask>(shared_from_this());
  downloadTask_ = downloadSession()->downloadTaskWithRequest(
      request, [self, folder, received](std::optional<URL> location, URLResponseRef, ErrorRef error) {
        if (error || !location) return self->finishTask();
        std::optional<Data> bytes;
        if (DeviceFiles::createFolders(folder) && DeviceFiles::copyFile(location->path(), self->tempFileName_)) {
          bytes = KVIconProvider::readBoundedIconFile(self->tempFileName_);
          DeviceFiles::removeItem(self->tempFileName_);
        }
        if (bytes && !bytes->empty() && UIImage::imageWithData(*bytes)) {
          received(*bytes);
        } else {
          KVLog("No data retrieved from downloaded file. This probably means the downloaded icon is corrupted.");
        }
        self->finishTask();
      });
  downloadTask_->resume();
}

bool KVIconFetchTask::storeAsPNG(const Data& bytes, const std::string& key) {
  auto image = UIImage::imageWithData(bytes);
  auto png = image ? UIImagePNGRepresentation(*image) : std::nullopt;
  if (!png) return false;
  return KVIconProvider::writeCacheFile(KVIconProvider::_iconPathWithHash(NSStringHash::MD5Hash(key)), *png);
}
