#pragma once
// Images fetched by address for the screens (avatars, icons, banners): one download per
// address however many screens ask while it runs, the bytes decoded off the main
// thread, the images kept in a cache bounded by their pixel bytes (the least recently
// used go first), and every answer given on the main thread, never to an asker that is
// gone by then.
#include <cstddef>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/Error.h"
#include "foundation/URL.h"
#include "uikit/UIImage.h"

class URLSession;

class ImageLoader {
 public:
  // The image, or nothing when the reply was no picture (then `error` tells a
  // transport failure apart from bytes that do not decode).
  using Completion = std::function<void(std::shared_ptr<UIImage> image, ErrorRef error)>;

  static constexpr size_t kDefaultCacheBytes = size_t(48) << 20;
  // The process's loader, over the shared URL session.
  static ImageLoader& shared();
  explicit ImageLoader(size_t cacheBytes = kDefaultCacheBytes, std::shared_ptr<URLSession> session = nullptr);
  ~ImageLoader();
  ImageLoader(const ImageLoader&) = delete;
  ImageLoader& operator=(const ImageLoader&) = delete;

  // Starts the download of `url`, or joins the one running. `completion` runs on the
  // main thread (a cached image on the next turn, never inside this call) unless
  // `owner` has gone by then. Failures are not cached: a later call tries again.
  void loadImage(const URL& url, std::weak_ptr<const void> owner, Completion completion);
  std::shared_ptr<UIImage> cachedImage(const URL& url);

  size_t cachedBytes() const;
  size_t cacheLimit() const { return limit_; }
  size_t downloadsInFlight() const;
  void removeAllImages();

 private:
  struct Waiter {
    std::weak_ptr<const void> owner;
    Completion completion;
  };
  struct Shared;
  void finished(const std::string& key, std::shared_ptr<UIImage> image, ErrorRef error);
  void store(const std::string& key, std::shared_ptr<UIImage> image);
  static size_t costOf(const UIImage& image);

  size_t limit_;
  std::shared_ptr<URLSession> session_;
  // Lives as long as the loader; downloads hold it weakly, so a loader that goes
  // first is never reached.
  std::shared_ptr<Shared> shared_;
  mutable std::mutex mutex_;
  std::map<std::string, std::vector<Waiter>> inFlight_;
  std::list<std::pair<std::string, std::shared_ptr<UIImage>>> recent_;  // most recent first
  std::map<std::string, decltype(recent_)::iterator> cache_;
  size_t bytes_ = 0;
};
