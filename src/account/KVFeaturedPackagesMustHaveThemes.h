#pragma once
// One package of the must-have themes on the featured screen.
#include <optional>
#include <string>

struct KVFeaturedPackagesMustHaveThemes {
  std::optional<std::string> bundle_id;  // the package's identifier
  bool operator==(const KVFeaturedPackagesMustHaveThemes&) const = default;
};
