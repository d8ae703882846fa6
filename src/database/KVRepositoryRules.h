#pragma once
// The rules the refresh keeps for a handful of well-known repositories (their locations
// are settings, KVKnownRepositories): fixed "dists/" layouts, two archived repositories
// that are not contacted again once their index is present, and the outside store's
// repository, which newer systems replace by the bootstrap repository of the jailbreak
// tool, or refuse. Locations compare as exact texts.
#include <string>

namespace KVRepositoryRules {

// Where a source's Release file, Packages candidates and icon are.
struct Layout {
  std::string releaseURL;
  std::string packagesBase;  // the candidates are sought below it
  std::string iconURL;
};
Layout layoutForLocation(const std::string& location);

bool isArchived(const std::string& location);

struct BootstrapDecision {
  enum Kind {
    GoOn,     // refresh the source as it is
    Move,     // the source becomes `replacement`
    Refuse,   // the source is removed and the refresh ends with code 23
  } kind = GoOn;
  std::string replacement;
  std::string errorDescription;  // for Refuse
};
// The rule for `location` on a device with jailbreak tool `tool` (KVPlatform) and system
// version `systemVersion`; `sourceName` names it in a refusal.
BootstrapDecision bootstrapDecision(const std::string& location, int tool, double systemVersion,
                                    const std::string& sourceName);

}  // namespace KVRepositoryRules
