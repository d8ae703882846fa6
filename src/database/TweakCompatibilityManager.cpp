#include "database/TweakCompatibilityManager.h"

#include "core/KVPlatform.h"
#include "core/KVReplyLimits.h"
#include "core/NSURLSessionConfigurationNoCache.h"
#include "foundation/Date.h"
#include "foundation/Files.h"
#include "foundation/Log.h"
#include "foundation/URLSession.h"
#include "system/DeviceFiles.h"
#include "system/DeviceRoot.h"

namespace {
std::mutex gConfigMutex;
std::string gBaseURL = TweakCompatibilityManager::kDefaultServiceBaseURL;

int statusForText(const std::string& text) {
  if (text == "Working") return TweakCompatibilityManager::Working;
  if (text == "Not working") return TweakCompatibilityManager::NotWorking;
  return TweakCompatibilityManager::Unknown;
}
}  // namespace

TweakCompatibilityManager& TweakCompatibilityManager::sharedManager() {
  static TweakCompatibilityManager* manager = [] {
    auto* m = new TweakCompatibilityManager();
    m->_updateList();
    return m;
  }();
  return *manager;
}

void TweakCompatibilityManager::prepare() {
  // The first call of sharedManager already updates the list; a later prepare asks again.
  static std::once_flag first;
  bool created = false;
  std::call_once(first, [&] {
    sharedManager();
    created = true;
  });
  if (!created) sharedManager()._updateList();
}

void TweakCompatibilityManager::setServiceBaseURL(const std::string& baseURL) {
  std::lock_guard<std::mutex> lock(gConfigMutex);
  gBaseURL = baseURL;
  while (!gBaseURL.empty() && gBaseURL.back() == '/') gBaseURL.pop_back();
}

std::string TweakCompatibilityManager::serviceBaseURL() {
  std::lock_guard<std::mutex> lock(gConfigMutex);
  return gBaseURL;
}

std::string TweakCompatibilityManager::cacheFilePath() {
  return Files::appendingPathComponent(DeviceRoot::devicePath(DeviceRoot::kApplicationSupport), kCacheFileName);
}

std::optional<Value> TweakCompatibilityManager::listFromReply(const Value& reply) {
  const Value::Array* packages = reply["packages"].arrayPtr();
  if (!reply.isDictionary() || !packages) return std::nullopt;
  Value list = Value::dict();
  for (const Value& element : *packages) {
    const std::string* identifier = element["id"].stringPtr();
    if (!identifier || identifier->empty() || list.contains(*identifier)) continue;
    const Value::Array* versions = element["versions"].arrayPtr();
    Value byVersion = Value::dict();
    if (versions) {
      for (const Value& v : *versions) {
        const std::string* version = v["tweakVersion"].stringPtr();
        if (!version || version->empty()) continue;
        const std::string* status = v["outcome"]["calculatedStatus"].stringPtr();
        byVersion.set(*version, statusForText(status ? *status : std::string()));
      }
    }
    list.set(*identifier, std::move(byVersion));
  }
  return list;
}

void TweakCompatibilityManager::install(std::shared_ptr<const Value> list) {
  std::lock_guard<std::mutex> lock(mutex_);
  list_ = std::move(list);
  loadingComplete_ = true;
}

void TweakCompatibilityManager::_updateList(std::function<void(bool loaded)> done) {
  std::string path = cacheFilePath();
  // A file dated in the future (a clock set back, a copied file) is not fresh: it would
  // otherwise stand for as long as the clock takes to catch up.
  auto modified = Files::modificationDate(path);
  double age = modified ? Date::now().timeIntervalSinceDate(*modified) : -1;
  if (age >= 0 && age < kCacheLifetime) {
    // Read as package data: a named pipe in its place is not waited for, nor a link followed.
    auto contents = DeviceFiles::readFile(path, kMaximumCacheBytes);
    auto cached = contents && contents->complete ? Value::fromPropertyList(contents->bytes) : std::nullopt;
    if (cached && cached->isDictionary()) {
      install(std::make_shared<const Value>(std::move(*cached)));
      if (done) done(true);
      return;
    }
  }
  std::string address = serviceBaseURL() + "/tweakCompatible/json/iOS/" +
                        URL::percentEncode(KVPlatform::firmwareVersion(), ".") + ".json";
  URLRequest request(URL::fromString(address), URLRequest::ReloadIgnoringLocalCacheData, 60);
  request.setReplyLimits(KVReplyLimits::kWebService);
  auto session = URLSession::sessionWithConfiguration(NSURLSessionConfigurationNoCache::noCacheConfigureation());
  session
      ->dataTaskWithRequest(request,
                            [this, path, done](std::optional<Data> data, URLResponseRef response, ErrorRef error) {
                              std::optional<Value> list;
                              if (!error && data && response && response->statusCode() == 200) {
                                auto reply = Value::fromJSON(*data);
                                if (reply) list = listFromReply(*reply);
                              }
                              if (!list) {
                                if (done) done(false);
                                return;
                              }
                              Data bytes = list->toXMLPropertyList();
                              install(std::make_shared<const Value>(std::move(*list)));
                              DeviceFiles::createFolders(Files::deletingLastPathComponent(path));
                              std::string writeError;
                              if (!DeviceFiles::writeAtomically(path, bytes, &writeError))
                                KVLog("Could not write %s: %s", path.c_str(), writeError.c_str());
                              if (done) done(true);
                            })
      ->resume();
}

int TweakCompatibilityManager::compatibilityForBundle(const std::string& identifier, const std::string& version) const {
  std::shared_ptr<const Value> list;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!loadingComplete_) return Unknown;
    list = list_;
  }
  const Value& entry = (*list)[identifier][version];
  if (!entry.isNumber()) return Unknown;
  int64_t status = entry.asInt(Unknown);
  return status == Working || status == NotWorking ? static_cast<int>(status) : Unknown;
}

int TweakCompatibilityManager::sharedCompatibilityForBundle(const std::string& identifier, const std::string& version) {
  return sharedManager().compatibilityForBundle(identifier, version);
}

bool TweakCompatibilityManager::loadingComplete() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return loadingComplete_;
}

std::shared_ptr<const Value> TweakCompatibilityManager::compatibilityList() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return list_;
}
