#include "database/KVPersistentImageCache.h"

#include "core/KVDataTaskOperation.h"
#include "core/KVKnownRepositories.h"
#include "core/NSURLSessionConfigurationNoCache.h"
#include "database/KVIconProvider.h"
#include "foundation/Files.h"
#include "foundation/OperationQueue.h"
#include "foundation/URLSession.h"
#include "system/DeviceFiles.h"
#include "uikit/UIImage.h"

std::shared_ptr<KVPersistentImageCache> KVPersistentImageCache::create() {
  std::shared_ptr<KVPersistentImageCache> cache(new KVPersistentImageCache());
  cache->_loadDefaultIconsIfNeeded(true);
  return cache;
}

KVPersistentImageCache::KVPersistentImageCache() : queue_(std::make_unique<OperationQueue>()) {
  queue_->setName("KVIconFetchQueue");
  queue_->setMaxConcurrentOperationCount(KVIconProvider::kMaximumConcurrentDownloads);
  URLSessionConfiguration configuration = NSURLSessionConfigurationNoCache::noCacheConfigureation();
  configuration.timeoutIntervalForRequest = KVIconProvider::kRequestTimeout;
  session_ = URLSession::sessionWithConfiguration(configuration);
}

KVPersistentImageCache::~KVPersistentImageCache() {
  // Not waited for: the last holder may be a download's own completion.
  queue_->cancelAllOperations();
  session_->invalidateAndCancel();
}

std::string KVPersistentImageCache::overrideKeyForKey(const std::string& key) {
  std::string schemeLess = KVIconProvider::schemeLessLocation(key);
  if (auto known = KVIconProvider::knownRepositoryKey(schemeLess, true)) return *known;
  return key;
}

std::string KVPersistentImageCache::_fileNameForKey(const std::string& mappedKey) {
  return Files::appendingPathComponent(KVIconProvider::cacheDirectory(),
                                       "Icon-" + std::to_string(std::hash<std::string>{}(mappedKey)));
}

void KVPersistentImageCache::_loadDefaultIconsIfNeeded(bool all) {
  auto known = KVKnownRepositories::current();
  const std::pair<std::string, const char*> defaults[] = {
      {KVIconProvider::schemeLessLocation(known.largeDefaultRepository), "KVCydiaSourceGrandel.jpg"},
      {KVIconProvider::schemeLessLocation(known.storeRepository), "KVCydiaSourceMorvik.jpg"},
      {KVIconProvider::schemeLessLocation(known.archivedRepositoryA), "KVCydiaSourceSandrel.jpg"},
      {kDefaultSourceIconKey, "KVCydiaSource.png"},
  };
  for (const auto& [key, name] : defaults) {
    if (!all && memoryImage(key)) continue;
    if (auto image = UIImage::imageNamed(name)) {
      std::lock_guard<std::mutex> lock(mutex_);
      images_[key] = image;
    }
  }
}

KVPersistentImageCache::Image KVPersistentImageCache::memoryImage(const std::string& mappedKey) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = images_.find(mappedKey);
  return it == images_.end() ? nullptr : it->second;
}

KVPersistentImageCache::Image KVPersistentImageCache::objectForKey(const std::string& key) {
  std::string mapped = overrideKeyForKey(key);
  if (auto image = memoryImage(mapped)) return image;
  auto bytes = KVIconProvider::readBoundedIconFile(_fileNameForKey(mapped));
  auto image = bytes ? UIImage::imageWithData(*bytes) : nullptr;
  if (image) {
    std::lock_guard<std::mutex> lock(mutex_);
    images_[mapped] = image;
  }
  return image;
}

void KVPersistentImageCache::setObject(const Image& image, const std::string& key) {
  if (!image) return;
  std::string mapped = overrideKeyForKey(key);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    images_[mapped] = image;
  }
  if (auto png = UIImagePNGRepresentation(*image)) KVIconProvider::writeCacheFile(_fileNameForKey(mapped), *png);
}

void KVPersistentImageCache::removeObjectForKey(const std::string& key) {
  std::string mapped = overrideKeyForKey(key);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    images_.erase(mapped);
  }
  DeviceFiles::removeItem(_fileNameForKey(mapped));
}

void KVPersistentImageCache::setImage(const Image& image, const std::string& key) {
  // Only pictures are kept under a key: whatever else was there goes first.
  removeObjectForKey(key);
  setObject(image, key);
}

KVPersistentImageCache::Image KVPersistentImageCache::imageForKey(const std::string& key) {
  return imageForKey(key, nullptr);
}

KVPersistentImageCache::Image KVPersistentImageCache::imageForKey(const std::string& key,
                                                                  std::function<void(Image)> completion) {
  _loadDefaultIconsIfNeeded(false);
  if (auto image = objectForKey(key)) return image;
  auto url = URL::fromString(key);
  if (url && !url->scheme().empty() && !url->host().empty()) {
    bool queued = false;
    for (const auto& operation : queue_->operations()) {
      auto fetch = std::dynamic_pointer_cast<KVDataTaskOperation>(operation);
      queued |= fetch && fetch->identifier() == key;
    }
    if (!queued) download(key, std::move(completion));
  }
  return memoryImage(kDefaultSourceIconKey);
}

void KVPersistentImageCache::download(const std::string& key, std::function<void(Image)> completion) {
  URLRequest request(URL::fromString(key));
  request.setReplyLimits(KVReplyLimits::kIcon);
  std::weak_ptr<KVPersistentImageCache> weak = shared_from_this();
  queue_->addOperation(KVDataTaskOperation::initWithSession(
      session_, request,
      [weak, key, completion](std::optional<Data> data, URLResponseRef response, ErrorRef error) {
        auto self = weak.lock();
        if (!self) return;
        if (error || !response || response->statusCode() != 200) {
          self->setObject(self->memoryImage(kDefaultSourceIconKey), key);
          return;
        }
        auto image = data ? UIImage::imageWithData(*data) : nullptr;
        if (!image) return;
        self->setObject(image, key);
        if (completion) completion(image);
      }));
}
