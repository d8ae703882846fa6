#include "database/KVDefaultRepositories.h"

#include <map>
#include <mutex>

#include "core/KVPlatform.h"
#include "core/KVKnownRepositories.h"

namespace KVDefaultRepositories {

namespace {
struct Overrides {
  std::mutex mutex;
  std::vector<std::string> defaults;
  std::map<int, std::optional<std::string>> bootstraps;
};
Overrides& overrides() {
  static Overrides o;
  return o;
}
}  // namespace

std::vector<std::string> defaultSourceLocations() {
  {
    auto& o = overrides();
    std::lock_guard lock(o.mutex);
    if (!o.defaults.empty()) return o.defaults;
  }
  return {
      "https://repo.korvale.example/repo/",
      KVKnownRepositories::current().largeDefaultRepository,
      "https://repo.corwinvale.example/repo/",
      "https://community-one.example/",
      "https://community-two.example/",
      "https://community-three.example/",
      "https://community-four.example/",
  };
}

std::optional<std::string> bootstrapLocationForJailbreakTool(int tool) {
  {
    auto& o = overrides();
    std::lock_guard lock(o.mutex);
    if (auto it = o.bootstraps.find(tool); it != o.bootstraps.end()) return it->second;
  }
  switch (tool) {
    case KVPlatform::Chimera:
    case KVPlatform::Electra: return KVKnownRepositories::current().electraBootstrap;
    case KVPlatform::Unc0ver:
    case KVPlatform::Checkra1n: return KVKnownRepositories::current().unc0verBootstrapHTTPS;
    default: return std::nullopt;
  }
}

void overrideDefaultSourceLocations(std::vector<std::string> locations) {
  auto& o = overrides();
  std::lock_guard lock(o.mutex);
  o.defaults = std::move(locations);
}

void overrideBootstrapLocation(int tool, std::optional<std::string> location) {
  auto& o = overrides();
  std::lock_guard lock(o.mutex);
  o.bootstraps[tool] = std::move(location);
}

void resetOverrides() {
  auto& o = overrides();
  std::lock_guard lock(o.mutex);
  o.defaults.clear();
  o.bootstraps.clear();
}

}  // namespace KVDefaultRepositories
