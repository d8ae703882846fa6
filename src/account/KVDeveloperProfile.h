#pragma once
// One developer of the vendor's directory.
#include <optional>
#include <string>
#include <vector>

#include "foundation/Value.h"

struct KVDeveloperProfile {
  std::optional<std::string> fullName;   // "developer"
  std::optional<std::string> email;
  std::optional<std::string> homepage;
  std::optional<std::string> location;   // where the developer lives
  std::optional<std::string> biography;  // "about"
  std::optional<std::string> github;
  std::optional<std::string> repository;  // address of the developer's repository
  std::optional<std::string> twitter;
  std::optional<std::string> avatarURL;  // "avatar"
  // Package identifiers a screen may attach; a search leaves it empty.
  std::vector<std::string> packages;

  bool operator==(const KVDeveloperProfile&) const = default;

  // A member that is no text reads as absent.
  static KVDeveloperProfile profileWithJSON(const Value& object);
  // The directory's search matches any name holding the text it is given: of its
  // answer, the profile of exactly this developer (names compared without regard to
  // case), none when the answer has no such profile.
  static std::optional<KVDeveloperProfile> profileNamed(const std::vector<KVDeveloperProfile>& profiles,
                                                        const std::string& name);
};
