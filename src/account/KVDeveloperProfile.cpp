#include "account/KVDeveloperProfile.h"

#include "account/KVVendorService.h"
#include "store/TextFolding.h"

KVDeveloperProfile KVDeveloperProfile::profileWithJSON(const Value& object) {
  using KVVendorService::textMember;
  KVDeveloperProfile profile;
  profile.fullName = textMember(object, "developer");
  profile.email = textMember(object, "email");
  profile.homepage = textMember(object, "homepage");
  profile.location = textMember(object, "location");
  profile.biography = textMember(object, "about");
  profile.github = textMember(object, "github");
  profile.repository = textMember(object, "repository");
  profile.twitter = textMember(object, "twitter");
  profile.avatarURL = textMember(object, "avatar");
  return profile;
}

std::optional<KVDeveloperProfile> KVDeveloperProfile::profileNamed(const std::vector<KVDeveloperProfile>& profiles,
                                                                   const std::string& name) {
  const std::string wanted = store::text::lowercase(name);
  for (const auto& profile : profiles)
    if (profile.fullName && store::text::lowercase(*profile.fullName) == wanted) return profile;
  return std::nullopt;
}
