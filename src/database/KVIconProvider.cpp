#include "database/KVIconProvider.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <mutex>

#include "core/KVDataTaskOperation.h"
#include "core/KVKnownRepositories.h"
#include "core/NSDataHash.h"
#include "core/NSStringHash.h"
#include "database/KVRPackage.h"
#include "database/KVRSource.h"
#include "foundation/BlockHelpers.h"
#include "foundation/Files.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/OperationQueue.h"
#include "foundation/URLSession.h"
#include "store/Store.h"
#include "system/DeviceFiles.h"
#include "system/DeviceRoot.h"
#include "uikit/UIImage.h"

namespace {

struct Machinery {
  std::mutex mutex;
  OperationQueue* queue = nullptr;  // lives as long as the process
  std::shared_ptr<URLSession> session;
  bool purged = false;
};

Machinery& machinery() {
  static auto* m = new Machinery;
  return *m;
}

bool startsWith(const std::string& text, std::string_view prefix) { return text.rfind(prefix, 0) == 0; }
bool contains(const std::string& text, std::string_view part) { return text.find(part) != std::string::npos; }

void removeAll(std::string& text, std::string_view part) {
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at)) text.erase(at, part.size());
}

// The words of the two outside stores' host names that serve placeholder pictures.
constexpr const char* kStoreHostWords[] = {"store.example", "bazaar.example"};

// A category text that can be a resource's name: no folder steps, no extension.
bool isResourceName(const std::string& text) {
  for (char c : text)
    if (c == '/' || c == '\\' || c == '.' || static_cast<unsigned char>(c) < 0x20) return false;
  return true;
}

// The row of the category table that the text matches.
std::string categoryImageName(const std::string& c) {
  if (startsWith(c, "Theme") || contains(c, "Th\xC3\xA8me")) return "Themes";
  if (startsWith(c, "App Addons")) return "App Addons";
  if (contains(c, "Addon")) return "Addons";
  if (startsWith(c, "Application")) return "Applications";
  if (startsWith(c, "Cydget")) return "Cydgets";
  if (startsWith(c, "Data_Storage")) return "Data Storage";
  if (contains(c, "Font")) return "Fonts";
  if (contains(c, "Network")) return "Network";
  if (contains(c, "Terminal")) return "Terminal";
  if (startsWith(c, "Tweak")) return "Tweaks";
  if (contains(c, "Wallpaper")) return "Wallpapers";
  if (contains(c, "Widget")) return "Widgets";
  if (contains(c, "Zeppelin")) return "Zeppelin";
  if (c == "Cydia/Telesphoreo") return "Morvik";
  return "Default";
}

std::string categoriesName(const std::string& name) { return Files::appendingPathComponent("Categories", name); }

// The picture in a cache file, read within the size bound.
KVIconProvider::Image imageFromFile(const std::string& path) {
  auto bytes = KVIconProvider::readBoundedIconFile(path);
  return bytes ? UIImage::imageWithData(*bytes) : nullptr;
}

bool isPicture(const std::optional<Data>& data) { return data && !data->empty() && UIImage::imageWithData(*data); }

// Sets the record's `iconURL` in one write transaction of the calling thread's default
// database; a record that is gone is left alone.
void writeIconURL(const std::string& className, const std::string& key, const std::string& iconURL) {
  auto db = store::Database::openDefaultDatabase();
  if (!db) {
    KVLog("Recording an icon failed: %s", db.error()->localizedDescription().c_str());
    return;
  }
  if (ErrorRef error = (*db)->write([&] {
    if (auto object = (*db)->objectForPrimaryKey(className, Value(key))) (*db)->setValue(*object, "iconURL", Value(iconURL));
  })) {
    KVLog("Recording an icon failed: %s", error->localizedDescription().c_str());
  }
}

void postOnMain(const char* name, const std::string& object) {
  std::string text = object;
  performOnMainThread([name, text] { NotificationCenter::defaultCenter().post(name, Value(text)); });
}

}  // namespace

// --- Shared machinery

void KVIconProvider::firstUse() {
  {
    std::lock_guard<std::mutex> lock(machinery().mutex);
    if (machinery().purged) return;
    machinery().purged = true;
  }
  _clearMorvikIconsFromCache();
}

OperationQueue& KVIconProvider::iconFetchQueue() {
  std::lock_guard<std::mutex> lock(machinery().mutex);
  if (!machinery().queue) {
    machinery().queue = new OperationQueue();
    machinery().queue->setName("KVIconProviderQueue");
    machinery().queue->setMaxConcurrentOperationCount(kMaximumConcurrentDownloads);
  }
  return *machinery().queue;
}

std::shared_ptr<URLSession> KVIconProvider::iconFetchSession() {
  std::lock_guard<std::mutex> lock(machinery().mutex);
  if (!machinery().session) {
    URLSessionConfiguration configuration = URLSessionConfiguration::ephemeralSessionConfiguration();
    configuration.timeoutIntervalForRequest = kRequestTimeout;
    machinery().session = URLSession::sessionWithConfiguration(configuration);
  }
  return machinery().session;
}

const std::unordered_set<std::string>& KVIconProvider::defaultMorvikIconHashes() {
  static const auto* hashes = new std::unordered_set<std::string>{
      "bafd8f4a0aeedecf2eb872cc3edc5510",
      "10a273bb79b4283892b811a9d5abaf73",
      "d335c7d1cd86ce494f23f042fcc1749e",
      // The placeholder of this installation's stand-in store ("icons.store.example").
      "0d5ab78a2f9bbd7b77413f6ac73f364b",
  };
  return *hashes;
}

bool KVIconProvider::iconWithIdentifierIsQueued(const std::string& urlText) {
  for (const auto& operation : iconFetchQueue().operations()) {
    auto download = std::dynamic_pointer_cast<KVDataTaskOperation>(operation);
    if (download && download->identifier() == urlText) return true;
  }
  return false;
}

void KVIconProvider::resetForTesting() {
  OperationQueue* queue;
  std::shared_ptr<URLSession> session;
  {
    std::lock_guard<std::mutex> lock(machinery().mutex);
    queue = machinery().queue;
    session = std::move(machinery().session);
    machinery().purged = false;
  }
  if (queue) {
    queue->cancelAllOperations();
    queue->waitUntilAllOperationsAreFinished(30);
  }
  if (session) session->invalidateAndCancel();
}

// --- Cache folder

std::string KVIconProvider::cacheDirectory() {
  return Files::appendingPathComponent(DeviceRoot::devicePath(DeviceRoot::kApplicationSupport), "IconCache");
}

bool KVIconProvider::_ensureCacheDirectoryExists() { return DeviceFiles::createFolders(cacheDirectory()); }

std::string KVIconProvider::_iconPathWithHash(const std::string& hash) {
  return Files::appendingPathComponent(cacheDirectory(), hash + ".png");
}

std::string KVIconProvider::_iconPathWithKey(const std::string& key) {
  return _iconPathWithHash(NSStringHash::MD5Hash(key));
}

bool KVIconProvider::writeCacheFile(const std::string& path, const Data& bytes) {
  std::string error;
  if (!_ensureCacheDirectoryExists() || !DeviceFiles::writeAtomically(path, bytes, &error)) {
    KVLog("Could not store an icon at %s: %s", path.c_str(), error.c_str());
    return false;
  }
  return true;
}

std::optional<Data> KVIconProvider::readBoundedIconFile(const std::string& hostPath) {
  // Non-blocking, so a pipe or a device node named as an icon cannot hold the caller.
  int fd = DeviceFiles::openFile(hostPath, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  std::optional<Data> bytes;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= kMaximumIconBytes) {
    Data data(static_cast<size_t>(info.st_size) + 1);
    size_t filled = 0;
    while (filled < data.size()) {
      ssize_t n = ::read(fd, data.data() + filled, data.size() - filled);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      filled += static_cast<size_t>(n);
    }
    // A file that grew past its size while being read is not taken.
    if (filled <= static_cast<size_t>(info.st_size)) {
      data.resize(filled);
      bytes = std::move(data);
    }
  }
  ::close(fd);
  return bytes;
}

void KVIconProvider::_clearMorvikIconsFromCache() {
  namespace fs = std::filesystem;
  std::error_code ec;
  const auto& hashes = defaultMorvikIconHashes();
  for (fs::recursive_directory_iterator it(cacheDirectory(), ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file(ec) || it->is_symlink(ec)) continue;
    std::string path = it->path().string();
    auto bytes = readBoundedIconFile(path);
    if (bytes && hashes.count(NSDataHash::MD5Hash(*bytes))) DeviceFiles::removeItem(path);
  }
}

// --- Locations and stores

std::string KVIconProvider::schemeLessLocation(const std::string& location) {
  std::string text = location;
  removeAll(text, "https://");
  removeAll(text, "http://");
  return text;
}

std::optional<std::string> KVIconProvider::knownRepositoryKey(const std::string& schemeLess, bool contained) {
  auto known = KVKnownRepositories::current();
  for (const std::string* location :
       {&known.largeDefaultRepository, &known.storeRepository, &known.archivedRepositoryA}) {
    std::string key = schemeLessLocation(*location);
    if (contained ? contains(schemeLess, key) : schemeLess == key) return key;
  }
  return std::nullopt;
}

bool KVIconProvider::isStoreIconURL(const std::string& urlText) {
  for (const char* word : kStoreHostWords)
    if (contains(urlText, word)) return true;
  return false;
}

// --- Categories

KVIconProvider::Image KVIconProvider::packageCategoryIconForCategory(const std::optional<std::string>& category) {
  if (!category) return UIImage::imageNamed("iTunesArtwork");
  if (isResourceName(*category))
    if (auto own = UIImage::imageNamed(categoriesName(*category))) return own;
  if (auto row = UIImage::imageNamed(categoriesName(categoryImageName(*category)))) return row;
  return UIImage::imageNamed(categoriesName("Default"));
}

KVIconProvider::Image KVIconProvider::packageCategoryIconForPackage(const KVRPackage& package) {
  return packageCategoryIconForCategory(package.category());
}

KVIconProvider::Image KVIconProvider::packageCategoryIconForIdentifier(const std::optional<std::string>& identifier) {
  firstUse();
  if (!identifier) return packageCategoryIconForCategory(std::nullopt);
  auto record = KVRPackage::objectForPrimaryKey(Value(*identifier));
  return packageCategoryIconForCategory(record ? record->category() : std::nullopt);
}

// --- Packages

KVIconProvider::Image KVIconProvider::packageIconForIdentifier(const std::string& identifier) {
  return packageIconForIdentifier(identifier, std::nullopt);
}

KVIconProvider::Image KVIconProvider::packageIconForIdentifier(const std::string& identifier,
                                                               const std::optional<std::string>& overrideURL) {
  std::optional<URL> url = overrideURL ? URL::fromString(*overrideURL) : std::nullopt;
  return fetchPackageIconForURL(url, std::nullopt, identifier);
}

KVIconProvider::Image KVIconProvider::packageIconForPackage(const std::optional<KVRPackage>& package) {
  return packageIconForPackage(package, std::nullopt);
}

KVIconProvider::Image KVIconProvider::packageIconForPackage(const std::optional<KVRPackage>& package,
                                                            const std::optional<std::string>& overrideURL) {
  if (!package) return packageCategoryIconForCategory(std::nullopt);
  std::optional<URL> url = overrideURL ? URL::fromString(*overrideURL) : std::nullopt;
  return fetchPackageIconForURL(url, package, package->identifier());
}

KVIconProvider::Image KVIconProvider::fetchPackageIconForURL(const std::optional<URL>& url,
                                                             const std::optional<KVRPackage>& package,
                                                             const std::string& identifier) {
  firstUse();
  if (identifier.empty()) return UIImage::imageNamed("iTunesArtwork");
  std::optional<URL> target = url;
  if (!target) {
    auto record = package ? package : KVRPackage::objectForPrimaryKey(Value(identifier));
    if (!record) return packageCategoryIconForIdentifier(identifier);
    auto text = record->iconURL();
    if (text && !text->empty() && !startsWith(*text, kUseDefaultCategoriesMarker)) target = URL::fromString(*text);
    if (!target) return packageCategoryIconForIdentifier(identifier);
  }
  if (auto cached = cachedPackageIconForURL(*target, std::nullopt, identifier)) return cached;
  // Only the web's icons are fetched; anything else keeps its substitute.
  if (target->isHTTP() && !iconWithIdentifierIsQueued(target->absoluteString())) {
    URL download = *target;
    std::string id = identifier;
    performOnBackgroundThread([download, id] { enqueuePackageDownload(download, id); });
  }
  return packageCategoryIconForIdentifier(identifier);
}

KVIconProvider::Image KVIconProvider::cachedPackageIconForURL(const URL& url,
                                                              const std::optional<std::string>& fallbackCategory,
                                                              const std::string& identifier) {
  firstUse();
  const std::string& text = url.absoluteString();
  if (text.empty()) return nullptr;
  std::string path = _iconPathWithKey(text);
  if (Files::exists(path)) return imageFromFile(path);
  if (!startsWith(text, "file:///")) return nullptr;
  // A local icon: copied once when it is a picture of sound size; an index may name any
  // path of the device, so a device node, a pipe or a huge file is never read whole.
  auto bytes = readBoundedIconFile(DeviceRoot::devicePath(url.path()));
  if (isPicture(bytes) && writeCacheFile(path, *bytes)) return imageFromFile(path);
  if (fallbackCategory) return packageCategoryIconForCategory(fallbackCategory);
  return packageCategoryIconForIdentifier(identifier);
}

void KVIconProvider::removePackageIconWithIdentifier(const std::string& identifier) {
  if (!identifier.empty()) DeviceFiles::removeItem(_iconPathWithKey(identifier));
}

void KVIconProvider::enqueuePackageDownload(const URL& url, const std::string& identifier) {
  // Checked again here: two screens may have asked before the first download was queued.
  if (iconWithIdentifierIsQueued(url.absoluteString())) return;
  URLRequest request(url);
  request.setReplyLimits(KVReplyLimits::kIcon);
  Value object = Value::dict({{"identifier", Value(identifier)}, {"url", Value(url.absoluteString())}});
  iconFetchQueue().addOperation(KVDataTaskOperation::initWithSession(
      iconFetchSession(), request, object,
      [](std::optional<Data> data, URLResponseRef response, ErrorRef error, const Value& object) {
        packageDownloadEnded(data, response ? response->statusCode() : 0, error != nullptr, object);
      }));
}

void KVIconProvider::packageDownloadEnded(const std::optional<Data>& data, int status, bool failed,
                                          const Value& object) {
  if (failed || (status != 200 && status != 304) || !isPicture(data)) return;
  std::string identifier = object["identifier"].asString();
  std::string urlText = object["url"].asString();
  if (isStoreIconURL(urlText) && defaultMorvikIconHashes().count(NSDataHash::MD5Hash(*data))) {
    performOnDefaultThread([identifier, urlText] {
      writeIconURL(KVRPackage::className(), identifier, kUseDefaultCategoriesMarker + urlText);
    });
    return;
  }
  // Without the file a redraw would only ask again; nothing is announced.
  if (!writeCacheFile(_iconPathWithHash(NSStringHash::MD5Hash(urlText)), *data)) return;
  performOnDefaultThread([identifier, urlText] {
    writeIconURL(KVRPackage::className(), identifier, urlText);
    postOnMain(KVRPackageInfoIconChangedNotification, identifier);
  });
}

// --- Sources

KVIconProvider::Image KVIconProvider::sourceIconForLocation(const std::string& location) {
  return fetchSourceIconForURL(std::nullopt, std::nullopt, location);
}

KVIconProvider::Image KVIconProvider::sourceIconForSource(const std::optional<KVRSource>& source) {
  if (!source) return UIImage::imageNamed("KVCydiaSource.png");
  return fetchSourceIconForURL(std::nullopt, source, source->location());
}

KVIconProvider::Image KVIconProvider::fetchSourceIconForURL(const std::optional<URL>& url,
                                                            const std::optional<KVRSource>& source,
                                                            const std::string& location) {
  firstUse();
  if (location.empty()) return UIImage::imageNamed("KVCydiaSource.png");
  std::optional<URL> target = url;
  if (!target) {
    auto record = source ? source : KVRSource::objectForPrimaryKey(Value(location));
    auto text = record ? record->iconURL() : std::nullopt;
    if (text && !text->empty()) target = URL::fromString(*text);
    if (!target) return defaultSourceIconForKey(location);
  }
  if (auto cached = cachedSourceIconForKey(location)) return cached;
  if (target->isHTTP() && !iconWithIdentifierIsQueued(target->absoluteString())) {
    URL download = *target;
    std::string key = location;
    performOnBackgroundThread([download, key] { enqueueSourceDownload(download, key); });
  }
  return defaultSourceIconForKey(location);
}

KVIconProvider::Image KVIconProvider::defaultSourceIconForKey(const std::string& location) {
  auto known = KVKnownRepositories::current();
  std::string key = schemeLessLocation(location);
  if (key == schemeLessLocation(known.largeDefaultRepository)) return UIImage::imageNamed("KVCydiaSourceGrandel.jpg");
  if (key == schemeLessLocation(known.storeRepository)) return UIImage::imageNamed("KVCydiaSourceMorvik.jpg");
  if (key == schemeLessLocation(known.archivedRepositoryA)) return UIImage::imageNamed("KVCydiaSourceSandrel.jpg");
  return UIImage::imageNamed("KVCydiaSource.png");
}

KVIconProvider::Image KVIconProvider::cachedSourceIconForKey(const std::string& location) {
  firstUse();
  std::string key = schemeLessLocation(location);
  if (knownRepositoryKey(key, false)) return defaultSourceIconForKey(location);
  return imageFromFile(_iconPathWithKey(key));
}

void KVIconProvider::removeSourceIconWithLocation(const std::string& location) {
  if (!location.empty()) DeviceFiles::removeItem(_iconPathWithKey(schemeLessLocation(location)));
}

void KVIconProvider::enqueueSourceDownload(const URL& url, const std::string& location) {
  if (iconWithIdentifierIsQueued(url.absoluteString())) return;
  URLRequest request(url);
  request.setReplyLimits(KVReplyLimits::kIcon);
  Value object = Value::dict({{"location", Value(location)}, {"url", Value(url.absoluteString())}});
  iconFetchQueue().addOperation(KVDataTaskOperation::initWithSession(
      iconFetchSession(), request, object,
      [](std::optional<Data> data, URLResponseRef response, ErrorRef error, const Value& object) {
        sourceDownloadEnded(data, response ? response->statusCode() : 0, error != nullptr, object);
      }));
}

void KVIconProvider::sourceDownloadEnded(const std::optional<Data>& data, int status, bool failed,
                                         const Value& object) {
  if (failed || (status != 200 && status != 304) || !isPicture(data)) return;
  std::string location = object["location"].asString();
  std::string urlText = object["url"].asString();
  if (!writeCacheFile(_iconPathWithKey(schemeLessLocation(location)), *data)) return;
  performOnDefaultThread([location, urlText] {
    writeIconURL(KVRSource::className(), location, urlText);
    postOnMain(KVRSourceInfoIconChangedNotification, location);
  });
}
