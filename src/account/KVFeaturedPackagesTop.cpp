#include "account/KVFeaturedPackagesTop.h"

#include "account/KVVendorService.h"

KVFeaturedPackagesTop KVFeaturedPackagesTop::featuredWithJSON(const Value& object) {
  using KVVendorService::textMember;
  KVFeaturedPackagesTop top;
  top.bundle_id = textMember(object, "bundle_id");
  top.title = textMember(object, "title");
  top.developer = textMember(object, "developer");
  top.desc = textMember(object, "description");
  top.logo = textMember(object, "logo");
  top.background = textMember(object, "background");
  top.repo = textMember(object, "repo");
  return top;
}
