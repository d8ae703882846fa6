#pragma once
// Icons of packages, categories and sources for every screen. Each question is answered
// at once: from the icon cache on disk, from the application's own images, or with a
// substitute (the package's category icon, the source's default icon); a missing icon
// is then downloaded in the background, stored, recorded on its record, and announced
// by "KVRPackageInfoIconChangedNotification" (object: the identifier) or
// "KVRSourceInfoIconChangedNotification" (object: the location) on the main thread, on
// which screens redraw it.
//
// Cache: "IconCache" in the application-support folder. A package icon is named after
// the MD5 of its icon URL, a source icon after the MD5 of its location without
// "https://" and "http://"; both with ".png" whatever the picture's format. Files are
// replaced atomically. Downloads and "file:///" icons are taken only up to
// kMaximumIconBytes, and only when they decode as a picture.
//
// Operations only, on any thread; they never wait for the network.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>

#include "core/KVReplyLimits.h"
#include "foundation/URL.h"
#include "foundation/Value.h"

class KVRPackage;
class KVRSource;
class OperationQueue;
class UIImage;
class URLSession;

inline constexpr const char* KVRPackageInfoIconChangedNotification = "KVRPackageInfoIconChangedNotification";
inline constexpr const char* KVRSourceInfoIconChangedNotification = "KVRSourceInfoIconChangedNotification";

class KVIconProvider {
 public:
  using Image = std::shared_ptr<UIImage>;

  // The marker a package's `iconURL` starts with once its downloaded icon turned out to be
  // a store's placeholder: the category icon is shown and nothing is downloaded.
  static constexpr const char* kUseDefaultCategoriesMarker = "(USE_DEFAULT_CATEGORIES)";
  // The most bytes an icon may have, downloaded or copied from a local file.
  static constexpr int64_t kMaximumIconBytes = KVReplyLimits::kIcon.maximumBodyLength;
  static constexpr int kMaximumConcurrentDownloads = 5;
  static constexpr double kRequestTimeout = 10;

  // --- Packages
  static Image packageIconForIdentifier(const std::string& identifier);
  // With an override URL text (none: the record's own icon URL).
  static Image packageIconForIdentifier(const std::string& identifier, const std::optional<std::string>& overrideURL);
  static Image packageIconForPackage(const std::optional<KVRPackage>& package);
  static Image packageIconForPackage(const std::optional<KVRPackage>& package,
                                     const std::optional<std::string>& overrideURL);
  static Image packageCategoryIconForIdentifier(const std::optional<std::string>& identifier);
  static Image packageCategoryIconForPackage(const KVRPackage& package);
  // No category: the application's artwork; else the category's own image, or the image
  // of the table row its text matches, or "Default".
  static Image packageCategoryIconForCategory(const std::optional<std::string>& category);
  static Image fetchPackageIconForURL(const std::optional<URL>& url, const std::optional<KVRPackage>& package,
                                      const std::string& identifier);
  // The cached icon of the URL, or none (the caller then downloads). A "file:///" URL is
  // never downloaded: its file is copied into the cache when it is a regular file within
  // the size bound that decodes as a picture, and otherwise the category icon answers.
  static Image cachedPackageIconForURL(const URL& url, const std::optional<std::string>& fallbackCategory,
                                       const std::string& identifier);
  static void removePackageIconWithIdentifier(const std::string& identifier);

  // --- Sources
  static Image sourceIconForLocation(const std::string& location);
  static Image sourceIconForSource(const std::optional<KVRSource>& source);
  static Image fetchSourceIconForURL(const std::optional<URL>& url, const std::optional<KVRSource>& source,
                                     const std::string& location);
  static Image defaultSourceIconForKey(const std::string& location);
  static Image cachedSourceIconForKey(const std::string& location);
  static void removeSourceIconWithLocation(const std::string& location);

  // --- The shared machinery, made on first use
  // Whether a download of this URL text is queued or running.
  static bool iconWithIdentifierIsQueued(const std::string& urlText);
  static const std::unordered_set<std::string>& defaultMorvikIconHashes();
  static OperationQueue& iconFetchQueue();
  static std::shared_ptr<URLSession> iconFetchSession();

  // --- Cache folder and names
  static bool _ensureCacheDirectoryExists();
  static std::string cacheDirectory();
  static std::string _iconPathWithKey(const std::string& key);
  static std::string _iconPathWithHash(const std::string& hash);
  // Removes every cached file whose bytes are a store's placeholder picture. Runs once,
  // on the thread of the first use of the provider.
  static void _clearMorvikIconsFromCache();

  // --- Helpers shared with the icon fetch tasks and the image cache
  // The text without every "https://" and then every "http://".
  static std::string schemeLessLocation(const std::string& location);
  // The scheme-less location of the known repository with a resource image, when the text
  // is (or, with `contained`, contains) one; else none.
  static std::optional<std::string> knownRepositoryKey(const std::string& schemeLess, bool contained);
  // Whether the URL text belongs to one of the outside stores that serve placeholders.
  static bool isStoreIconURL(const std::string& urlText);
  // The bytes of a local file when it is a regular file of at most kMaximumIconBytes;
  // never blocks on a device file or a pipe.
  static std::optional<Data> readBoundedIconFile(const std::string& hostPath);
  // Writes bytes into the cache (folder made first), atomically.
  static bool writeCacheFile(const std::string& path, const Data& bytes);

  // Waits for the downloads to end and forgets the shared machinery and the purge, as a
  // new process would have them. For tests.
  static void resetForTesting();

 private:
  static void firstUse();
  static void enqueuePackageDownload(const URL& url, const std::string& identifier);
  static void enqueueSourceDownload(const URL& url, const std::string& location);
  static void packageDownloadEnded(const std::optional<Data>& data, int status, bool failed, const Value& object);
  static void sourceDownloadEnded(const std::optional<Data>& data, int status, bool failed, const Value& object);
};
