#pragma once
// One banner at the top of the featured screen.
#include <optional>
#include <string>

#include "foundation/Value.h"

struct KVFeaturedPackagesTop {
  std::optional<std::string> bundle_id;   // the package's identifier
  std::optional<std::string> title;
  std::optional<std::string> developer;   // the name shown on the banner
  std::optional<std::string> desc;        // "description", the banner's text
  std::optional<std::string> logo;        // address of the logo image
  std::optional<std::string> background;  // address of the background image
  std::optional<std::string> repo;        // address of the repository offering it

  bool operator==(const KVFeaturedPackagesTop&) const = default;

  // A member that is no text reads as absent.
  static KVFeaturedPackagesTop featuredWithJSON(const Value& object);
};
