#include "interface/KVPackageListKind.h"

#include "foundation/LocalizedStrings.h"

KVPackageListKind KVPackageListKind::ofCategory(std::string category, std::optional<std::string> subcategory) {
  KVPackageListKind kind;
  kind.category = std::move(category);
  kind.subcategory = std::move(subcategory);
  return kind;
}

KVPackageListKind KVPackageListKind::sourcePackages(std::string location, std::string title) {
  KVPackageListKind kind = ofCategory(kCategorySpecial_SourcePackages, std::string("All Packages"));
  kind.sourceLocation = std::move(location);
  kind.title = std::move(title);
  return kind;
}

KVPackageListKind KVPackageListKind::purchasedPackages(std::optional<std::string> location) {
  KVPackageListKind kind = ofCategory(kCategorySpecial_SileoPackages);
  kind.sourceLocation = std::move(location);
  kind.title = NSLocalizedString(kCategorySpecial_SileoPackages);
  return kind;
}

KVPackageListKind KVPackageListKind::newPackagesFromFollowedSource(std::vector<std::string> identifiers) {
  KVPackageListKind kind = ofCategory(kCategorySpecial_NewPackagesFromFollowedSource);
  kind.identifiers = std::move(identifiers);
  kind.title = NSLocalizedString(kCategorySpecial_NewPackages);
  return kind;
}

KVPackageListKind KVPackageListKind::newPackagesFromFollowedDeveloper(std::optional<KVRDeveloper> developer) {
  KVPackageListKind kind = ofCategory(kCategorySpecial_NewPackagesFromFollowedDeveloper);
  kind.followedDeveloper = std::move(developer);
  kind.title = NSLocalizedString(kCategorySpecial_NewPackages);
  return kind;
}

KVPackageListKind KVPackageListKind::downloadsHistory(std::vector<std::string> identifiers) {
  KVPackageListKind kind = ofCategory(kCategorySpecial_DownloadsHistory);
  kind.identifiers = std::move(identifiers);
  kind.title = NSLocalizedString("Downloads History");
  return kind;
}
