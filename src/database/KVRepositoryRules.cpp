#include "database/KVRepositoryRules.h"

#include <cstdio>

#include "core/KVKnownRepositories.h"
#include "core/KVPlatform.h"
#include "database/KVRSources.h"
#include "foundation/LocalizedStrings.h"

namespace KVRepositoryRules {

namespace {
std::string bootstrapDistribution(const std::string& base) {
  char path[64];
  std::snprintf(path, sizeof path, "dists/ios/%.2f/main/binary-iphoneos-arm", 1443.0);
  return base + path;
}
}  // namespace

Layout layoutForLocation(const std::string& location) {
  const auto known = KVKnownRepositories::current();
  if (location == known.largeDefaultRepository || location == known.archivedRepositoryB)
    return {location + "dists/stable/Release", location + "dists/stable/main/binary-iphoneos-arm",
            location + "dists/stable/CydiaIcon.png"};
  if (location == known.archivedRepositoryA)
    return {location + "dists/stable/Release", known.mirrorHost + "/dists/stable/main/binary-iphoneos-arm",
            location + "dists/stable/CydiaIcon.png"};
  if (location == known.storeRepository)
    return {location + "dists/ios/Release", location + "dists/ios/main/binary-iphoneos-arm",
            location + "dists/ios/CydiaIcon.png"};
  if (location == known.unc0verBootstrapHTTP || location == known.unc0verBootstrapHTTPS) {
    std::string base = bootstrapDistribution(known.unc0verBootstrapHTTPS);
    return {base + "/Release", base, base + "/CydiaIcon.png"};
  }
  return {location + "Release", location, location + "CydiaIcon.png"};
}

bool isArchived(const std::string& location) {
  const auto known = KVKnownRepositories::current();
  return location == known.archivedRepositoryA || location == known.archivedRepositoryB;
}

BootstrapDecision bootstrapDecision(const std::string& location, int tool, double systemVersion,
                                    const std::string& sourceName) {
  const auto known = KVKnownRepositories::current();
  BootstrapDecision decision;
  if (systemVersion >= 11.0 && location == known.storeRepository) {
    std::string replacement = location;
    if (tool == KVPlatform::Chimera || tool == KVPlatform::Electra) replacement = known.electraBootstrap;
    if (tool == KVPlatform::Unc0ver || tool == KVPlatform::Checkra1n) replacement = known.unc0verBootstrapHTTPS;
    if (replacement == location) return decision;
    if (KVRSources::sourceExists(replacement)) {
      decision.kind = BootstrapDecision::Refuse;
      decision.errorDescription = NSLocalizedFormat(
          "Impossible to refresh \"%@\", this source is incompatible with your iOS version", {sourceName});
      return decision;
    }
    decision.kind = BootstrapDecision::Move;
    decision.replacement = replacement;
    return decision;
  }
  if (location == known.unc0verBootstrapHTTPS && (tool == KVPlatform::Chimera || tool == KVPlatform::Electra)) {
    decision.kind = BootstrapDecision::Refuse;
    decision.errorDescription = NSLocalizedFormat(
        "Impossible to refresh \"%@\", this source is incompatible with the bootstrap installed on your device",
        {location});
  }
  return decision;
}

}  // namespace KVRepositoryRules
