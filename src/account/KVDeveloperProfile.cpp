#include "account/KVDeveloperProfile.h"

#include "account/KVVendorService.h"

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
