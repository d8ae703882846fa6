#pragma once
// One package of the middle list on the featured screen.
#include <optional>
#include <string>

struct KVFeaturedPackagesMiddle {
  std::optional<std::string> bundle_id;  // the package's identifier
  bool operator==(const KVFeaturedPackagesMiddle&) const = default;
};
