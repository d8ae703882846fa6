#pragma once
// Which packages a package list shows, as its opener asks for them: a list kind (one of
// the special categories, or a real category with a subcategory) and the inputs that kind
// reads. The named makers are the kinds the screens open; `title`, when given, is the
// list's navigation title.
#include <optional>
#include <string>
#include <vector>

#include "database/KVRDeveloper.h"
#include "interface/KVCategorySpecial.h"

struct KVPackageListKind {
  std::string category;
  std::optional<std::string> subcategory;
  // The text a search list looks for in names, then in maintainers.
  std::optional<std::string> search;
  // A source's packages or purchases (none: the purchases of every source).
  std::optional<std::string> sourceLocation;
  std::optional<KVRDeveloper> followedDeveloper;
  // The identifiers a followed source's news or the downloads history lists.
  std::vector<std::string> identifiers;
  std::optional<std::string> title;

  // A category row's list, or a fixed one (kCategorySpecial_AllPackages, ...).
  static KVPackageListKind ofCategory(std::string category, std::optional<std::string> subcategory = std::nullopt);
  // Every package of one source, titled with the source's name.
  static KVPackageListKind sourcePackages(std::string location, std::string title);
  // The packages bought through a payment service: one source's, or every source's.
  static KVPackageListKind purchasedPackages(std::optional<std::string> location);
  static KVPackageListKind newPackagesFromFollowedSource(std::vector<std::string> identifiers);
  static KVPackageListKind newPackagesFromFollowedDeveloper(std::optional<KVRDeveloper> developer);
  static KVPackageListKind downloadsHistory(std::vector<std::string> identifiers);
};
