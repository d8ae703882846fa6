#include "uikit/ImageLoader.h"

#include "foundation/RunLoop.h"
#include "foundation/URLSession.h"

struct ImageLoader::Shared {
  ImageLoader* loader;
};

ImageLoader& ImageLoader::shared() {
  static ImageLoader* loader = new ImageLoader();  // used until the process ends
  return *loader;
}

ImageLoader::ImageLoader(size_t cacheBytes, std::shared_ptr<URLSession> session)
    : limit_(cacheBytes),
      session_(session ? std::move(session) : URLSession::sharedSession()),
      shared_(std::make_shared<Shared>(Shared{this})) {}

ImageLoader::~ImageLoader() = default;

size_t ImageLoader::costOf(const UIImage& image) {
  if (auto pixels = image.bitmap()) return pixels->rgba.size();
  return image.data().size() + 1;
}

std::shared_ptr<UIImage> ImageLoader::cachedImage(const URL& url) {
  std::lock_guard lock(mutex_);
  auto it = cache_.find(url.absoluteString());
  if (it == cache_.end()) return nullptr;
  recent_.splice(recent_.begin(), recent_, it->second);  // the most recently used now
  return it->second->second;
}

void ImageLoader::loadImage(const URL& url, std::weak_ptr<const void> owner, Completion completion) {
  const std::string key = url.absoluteString();
  if (auto image = cachedImage(url)) {
    RunLoop::main().post([owner, completion, image] {
      if (!owner.expired()) completion(image, nullptr);
    });
    return;
  }
  {
    std::lock_guard lock(mutex_);
    auto& waiters = inFlight_[key];
    waiters.push_back({std::move(owner), std::move(completion)});
    if (waiters.size() > 1) return;  // joins the download already running
  }
  std::weak_ptr<Shared> weakShared = shared_;
  URLRequest request(url);
  request.setReplyLimits(URLReplyKinds::kImage);
  session_
      ->dataTaskWithRequest(request,
                        [weakShared, key](std::optional<Data> data, URLResponseRef, ErrorRef error) {
                          // Decoded here, off the main thread.
                          std::shared_ptr<UIImage> image = data ? UIImage::imageWithData(*data) : nullptr;
                          RunLoop::main().post([weakShared, key, image, error] {
                            if (auto shared = weakShared.lock()) shared->loader->finished(key, image, error);
                          });
                        })
      ->resume();
}

void ImageLoader::finished(const std::string& key, std::shared_ptr<UIImage> image, ErrorRef error) {
  std::vector<Waiter> waiters;
  {
    std::lock_guard lock(mutex_);
    auto it = inFlight_.find(key);
    if (it == inFlight_.end()) return;
    waiters = std::move(it->second);
    inFlight_.erase(it);
  }
  if (image) store(key, image);
  for (auto& w : waiters)
    if (!w.owner.expired()) w.completion(image, image ? nullptr : error);
}

void ImageLoader::store(const std::string& key, std::shared_ptr<UIImage> image) {
  size_t cost = costOf(*image);
  std::lock_guard lock(mutex_);
  if (cost > limit_) return;  // larger than the whole cache: answered, not kept
  if (auto old = cache_.find(key); old != cache_.end()) {
    bytes_ -= costOf(*old->second->second);
    recent_.erase(old->second);
    cache_.erase(old);
  }
  recent_.emplace_front(key, image);
  cache_[key] = recent_.begin();
  bytes_ += cost;
  while (bytes_ > limit_ && !recent_.empty()) {
    auto& last = recent_.back();
    bytes_ -= costOf(*last.second);
    cache_.erase(last.first);
    recent_.pop_back();
  }
}

size_t ImageLoader::cachedBytes() const {
  std::lock_guard lock(mutex_);
  return bytes_;
}

size_t ImageLoader::downloadsInFlight() const {
  std::lock_guard lock(mutex_);
  return inFlight_.size();
}

void ImageLoader::removeAllImages() {
  std::lock_guard lock(mutex_);
  recent_.clear();
  cache_.clear();
  bytes_ = 0;
}
