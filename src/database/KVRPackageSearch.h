#pragma once
// The packages a search text finds, as the search tab and the search list ask for them:
// names holding the text (or, with the "Exact" scope, beginning with it), case and
// diacritics folded; where no name does, maintainers; never the "cy+" pseudo-packages,
// and packages known not to work only when incompatible packages are shown. The store
// answers these from the columns it keeps in memory, so a search runs as fast as one
// types.
#include <string>
#include <string_view>

#include "database/KVRPackage.h"
#include "store/TypedResults.h"

namespace KVRPackageSearch {

enum Scope : int { kExact = 0, kFuzzy = 1 };

// The predicate text for the scope, over names or maintainers ("%@" the search text);
// empty for a scope that does not exist.
std::string predicateFor(int scope, bool maintainer, bool showIncompatiblePackages);

// Names first; maintainers only when no name matches (the two are never merged). Sorted
// by `sortKey` (the search tab's by name, a list's by its own key).
store::TypedResults<KVRPackage> packagesMatching(std::string_view text, int scope, bool showIncompatiblePackages,
                                                 const std::string& sortKey = "name");

}  // namespace KVRPackageSearch
