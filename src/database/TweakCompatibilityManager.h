#pragma once
// What users of the community compatibility service report about package versions on
// this device's system version: 0 working, 1 not working, 2 unknown. The list is
// cached for 900 s in "tweak_compatible.plist" of the application-support folder and
// loaded once at start-up.
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "foundation/Value.h"

class TweakCompatibilityManager {
 public:
  enum Status : int { Working = 0, NotWorking = 1, Unknown = 2 };
  static constexpr double kCacheLifetime = 900;
  static constexpr const char* kCacheFileName = "tweak_compatible.plist";
  // The most the cache is read of (the list of one system takes a few hundred KB).
  static constexpr size_t kMaximumCacheBytes = 32 << 20;
  static constexpr const char* kDefaultServiceBaseURL = "https://compat.korvale.me";

  static TweakCompatibilityManager& sharedManager();
  static void prepare();

  // The service's scheme and host (no final "/"); the list's path is fixed. A
  // configuration value, pointed at a local server by tests.
  static void setServiceBaseURL(const std::string& baseURL);
  static std::string serviceBaseURL();
  static std::string cacheFilePath();

  // A fresh, empty manager (the shared one is made this way and then updated).
  TweakCompatibilityManager() = default;

  // Loads the cache file when it is fresh, else asks the service. `done`, when given,
  // hears once whether a list was loaded by this call (on the URL session's queue for
  // a download, at once for the cache file).
  void _updateList(std::function<void(bool loaded)> done = nullptr);

  int compatibilityForBundle(const std::string& identifier, const std::string& version) const;
  static int sharedCompatibilityForBundle(const std::string& identifier, const std::string& version);
  // The green, red or yellow of a status is the interface's: TweakCompatibilityManagerColors.

  bool loadingComplete() const;
  // The current list (identifier -> version -> status); never changed in place.
  std::shared_ptr<const Value> compatibilityList() const;

  // Turns a service reply into the list; nothing when it is no usable reply.
  static std::optional<Value> listFromReply(const Value& reply);

 private:
  void install(std::shared_ptr<const Value> list);

  mutable std::mutex mutex_;
  std::shared_ptr<const Value> list_ = std::make_shared<const Value>(Value::dict());
  bool loadingComplete_ = false;
};
