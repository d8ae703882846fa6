#pragma once
// One package of the packages that extend applications on the featured screen.
#include <optional>
#include <string>

struct KVFeaturedPackagesExtendApps {
  std::optional<std::string> bundle_id;  // the package's identifier
  bool operator==(const KVFeaturedPackagesExtendApps&) const = default;
};
