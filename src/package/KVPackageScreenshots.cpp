#include "package/KVPackageScreenshots.h"

#include "database/KVRPackage.h"
#include "database/KVRPackages.h"
#include "foundation/BlockHelpers.h"
#include "foundation/Files.h"
#include "foundation/Log.h"
#include "foundation/URLReplyLimits.h"
#include "foundation/URLSession.h"
#include "system/DeviceFiles.h"
#include "system/DeviceRoot.h"
#include "uikit/UIImage.h"

// One download of a list of addresses: what has arrived so far, by place.
struct KVPackageScreenshots::Run {
  std::vector<std::string> addresses;
  std::mutex mutex;
  size_t remaining = 0;
  bool networkFailed = false;
  Images images;
  std::map<long, std::string> paths;
};

KVPackageScreenshots::KVPackageScreenshots(std::string identifier, std::shared_ptr<KVRPackages> packages,
                                           Handlers handlers)
    : identifier_(std::move(identifier)), packages_(std::move(packages)), handlers_(std::move(handlers)) {}

std::string KVPackageScreenshots::cacheFolder() {
  return DeviceRoot::devicePath(DeviceRoot::kApplicationSupport) + "/ScreenshotsCache";
}

std::optional<std::string> KVPackageScreenshots::cachePath(const std::string& identifier, long number) {
  // The identifier is the repository's text: it names a file of the folder or nothing.
  if (identifier.empty() || identifier.find('/') != std::string::npos || identifier.find('\0') != std::string::npos ||
      identifier[0] == '.')
    return std::nullopt;
  return cacheFolder() + "/" + identifier + "-" + std::to_string(number) + ".png";
}

std::shared_ptr<UIImage> KVPackageScreenshots::makeRoundedImage(const std::shared_ptr<UIImage>& image, double radius) {
  if (!image) return nullptr;
  auto rounded = image->imageWithRoundedCorners(radius);
  return rounded ? rounded : image;
}

bool KVPackageScreenshots::isLoading() const {
  std::lock_guard lock(mutex_);
  return loading_;
}

bool KVPackageScreenshots::begin() {
  std::lock_guard lock(mutex_);
  if (loading_) return false;
  loading_ = true;
  return true;
}

void KVPackageScreenshots::end() {
  std::lock_guard lock(mutex_);
  loading_ = false;
}

void KVPackageScreenshots::logFailure(const char* what, const ErrorRef& error) const {
  if (error) KVLog("%s of %s failed: %s", what, identifier_.c_str(), error->localizedDescription().c_str());
}

void KVPackageScreenshots::load() {
  if (!begin()) return;
  performOnDefaultThread([self = shared_from_this()] { self->loadFromRecord(); });
}

void KVPackageScreenshots::loadAddresses(std::vector<std::string> addresses) {
  if (!begin()) return;
  performOnDefaultThread([self = shared_from_this(), addresses = std::move(addresses)]() mutable {
    self->logFailure("Writing the screenshots", self->packages_->setPackageScreenshots(self->identifier_, addresses));
    self->download(std::move(addresses));
  });
}

void KVPackageScreenshots::loadFromRecord() {
  // The record as it is now: an earlier load of this page may have written it since the
  // page took its snapshot.
  auto record = KVRPackage::objectForPrimaryKey(identifier_);
  if (!record) return end();
  const auto& addresses = record->screenshots();
  const auto& paths = record->screenshotsLocalPaths();
  if (!paths.empty() && paths.size() == addresses.size()) {
    Images images;
    for (size_t i = 0; i < paths.size(); ++i) {
      auto image = Files::exists(paths[i]) ? UIImage::imageWithContentsOfFile(paths[i]) : nullptr;
      if (!image) {
        images.clear();
        break;
      }
      images[static_cast<long>(i) + 1] = makeRoundedImage(image, kCornerRadius);
    }
    if (!images.empty()) {
      endOnMainThread([handler = handlers_.cacheRead, images = std::move(images)] { handler(images); });
      return;
    }
  }
  // Cached files that do not cover the addresses are forgotten, and all are fetched again.
  if (!paths.empty()) logFailure("Forgetting the cached screenshots", packages_->setPackageScreenshotsLocalPaths(identifier_, {}));
  if (addresses.empty()) return end();
  download(addresses);
}

void KVPackageScreenshots::download(std::vector<std::string> addresses) {
  if (addresses.empty()) {
    endOnMainThread([handler = handlers_.downloadEnded] { handler({}, false); });
    return;
  }
  auto run = std::make_shared<Run>();
  run->addresses = std::move(addresses);
  run->remaining = run->addresses.size();
  auto self = shared_from_this();
  for (size_t place = 0; place < run->addresses.size(); ++place) {
    auto url = URL::fromString(run->addresses[place]);
    if (!url || (url->scheme() != "http" && url->scheme() != "https")) {
      // An address that can never be fetched answers as something that is no picture.
      received(run, place, std::nullopt, true);
      continue;
    }
    URLRequest request(*url);
    request.setReplyLimits(URLReplyKinds::kImage);
    URLSession::sharedSession()
        ->dataTaskWithRequest(request,
                              [self, run, place](std::optional<Data> data, URLResponseRef response, ErrorRef) {
                                // Pictures are decoded and written away from the session's queue.
                                bool answered = response != nullptr;
                                performOnDefaultThread([self, run, place, data = std::move(data), answered]() mutable {
                                  self->received(run, place, std::move(data), answered);
                                });
                              })
        ->resume();
  }
}

void KVPackageScreenshots::received(const std::shared_ptr<Run>& run, size_t place, std::optional<Data> data,
                                    bool answered) {
  long number = static_cast<long>(place) + 1;
  std::shared_ptr<UIImage> rounded;
  std::optional<std::string> written;
  if (auto image = data ? UIImage::imageWithData(*data) : nullptr) {
    rounded = makeRoundedImage(image, kCornerRadius);
    auto path = cachePath(identifier_, number);
    auto png = UIImagePNGRepresentation(*image);
    std::string error;
    if (path && png && (Files::isDirectory(cacheFolder()) || DeviceFiles::createFolder(cacheFolder(), &error)) &&
        DeviceFiles::writeAtomically(*path, *png, &error))
      written = path;
    else if (path)
      KVLog("Writing screenshot %ld of %s failed: %s", number, identifier_.c_str(), error.c_str());
  }
  bool last = false;
  {
    std::lock_guard lock(run->mutex);
    if (rounded) run->images[number] = rounded;
    if (written) run->paths[number] = *written;
    if (!answered) run->networkFailed = true;
    last = --run->remaining == 0;
  }
  if (last) finish(run);
}

void KVPackageScreenshots::finish(const std::shared_ptr<Run>& run) {
  std::vector<std::string> paths;
  for (const auto& [number, path] : run->paths) paths.push_back(path);
  // Every place has its file, or the cache is not complete and is not recorded.
  if (paths.size() == run->addresses.size())
    logFailure("Writing the cached screenshots",
               packages_->setPackageScreenshotsLocalPaths(identifier_, paths, run->addresses));
  bool nothingDecoded = run->images.empty() && !run->networkFailed;
  if (nothingDecoded) logFailure("Emptying the screenshots", packages_->setPackageScreenshots(identifier_, {}));
  endOnMainThread([handler = handlers_.downloadEnded, images = run->images, nothingDecoded] {
    handler(images, nothingDecoded);
  });
}

// The load ends where its handler runs: on the main thread, a load is over exactly when
// the page has heard its outcome.
void KVPackageScreenshots::endOnMainThread(std::function<void()> handler) {
  performOnMainThread([self = shared_from_this(), handler = std::move(handler)] {
    self->end();
    handler();
  });
}
