#include "database/KVRPackageSearch.h"

namespace KVRPackageSearch {

std::string predicateFor(int scope, bool maintainer, bool showIncompatiblePackages) {
  if (scope != kExact && scope != kFuzzy) return {};
  std::string predicate = std::string(maintainer ? "maintainer" : "name") +
                          (scope == kExact ? " BEGINSWITH[cd] %@" : " contains[cd] %@") +
                          " AND NOT name BEGINSWITH[cd] 'cy+'";
  if (!showIncompatiblePackages) predicate += " AND tweakCompatibleStatus != 1";
  return predicate;
}

store::TypedResults<KVRPackage> packagesMatching(std::string_view text, int scope, bool showIncompatiblePackages,
                                                 const std::string& sortKey) {
  const std::string names = predicateFor(scope, false, showIncompatiblePackages);
  if (names.empty()) return {};
  const Value searched{std::string(text)};
  auto found = KVRPackage::objectsWhere(names, searched).sorted(sortKey);
  if (!found.empty()) return found;
  return KVRPackage::objectsWhere(predicateFor(scope, true, showIncompatiblePackages), searched).sorted(sortKey);
}

}  // namespace KVRPackageSearch
