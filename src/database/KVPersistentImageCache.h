#pragma once
// Images kept in memory by key and mirrored to files in the icon cache ("Icon-<hash of
// the key>"), with the known repositories' own images preloaded. An image asked for by
// a web address that is neither in memory nor on disk is downloaded on the cache's own
// queue; the default source image answers meanwhile, and stands for the address when the
// download fails.
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "foundation/Value.h"

class OperationQueue;
class UIImage;
class URLSession;

class KVPersistentImageCache : public std::enable_shared_from_this<KVPersistentImageCache> {
 public:
  using Image = std::shared_ptr<UIImage>;
  static constexpr const char* kDefaultSourceIconKey = "source_icon_default";

  static std::shared_ptr<KVPersistentImageCache> create();
  ~KVPersistentImageCache();
  KVPersistentImageCache(const KVPersistentImageCache&) = delete;
  KVPersistentImageCache& operator=(const KVPersistentImageCache&) = delete;

  Image imageForKey(const std::string& key);
  // `completion` hears the downloaded image, on the session's queue, when one is fetched.
  Image imageForKey(const std::string& key, std::function<void(Image)> completion);
  void setImage(const Image& image, const std::string& key);

  // The base cache's operations, on the mapped key, mirrored to disk. A null image is
  // not stored.
  Image objectForKey(const std::string& key);
  void setObject(const Image& image, const std::string& key);
  void removeObjectForKey(const std::string& key);

  // Without its scheme; a key that holds a known repository's location becomes it.
  static std::string overrideKeyForKey(const std::string& key);
  // The file of a mapped key in the icon cache.
  static std::string _fileNameForKey(const std::string& mappedKey);
  // The known repositories' images and the default source image; all of them when `all`,
  // else only those missing.
  void _loadDefaultIconsIfNeeded(bool all);

  OperationQueue& iconFetchQueue() { return *queue_; }
  const std::shared_ptr<URLSession>& iconFetchSession() const { return session_; }

 private:
  KVPersistentImageCache();
  Image memoryImage(const std::string& mappedKey);
  void download(const std::string& key, std::function<void(Image)> completion);

  std::mutex mutex_;
  std::map<std::string, Image> images_;
  std::unique_ptr<OperationQueue> queue_;
  std::shared_ptr<URLSession> session_;
};
