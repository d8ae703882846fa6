#pragma once
// One package of the must-have tweaks on the featured screen.
#include <optional>
#include <string>

struct KVFeaturedPackagesMustHaveTweaks {
  std::optional<std::string> bundle_id;  // the package's identifier
  bool operator==(const KVFeaturedPackagesMustHaveTweaks&) const = default;
};
