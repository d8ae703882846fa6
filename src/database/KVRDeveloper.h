#pragma once
// One developer the user follows (or followed): the lower-cased maintainer name, the
// package count and identifiers at the last cache update, and the new ones.
#include <string>
#include <vector>

#include "database/KVRPackage.h"
#include "store/RecordTraits.h"
#include "store/TypedResults.h"

#define KVRDEVELOPER_PROPERTIES(P)                                                            \
  P(std::string, name, setName, "")                                                           \
  P(bool, isFollowed, setIsFollowed, false)                                                   \
  P(int, packagesCount, setPackagesCount, 0)                                                  \
  P(TextList, developerPackagesList, setDeveloperPackagesList, TextList{})                   \
  P(TextList, developerNewPackagesIdentifiers, setDeveloperNewPackagesIdentifiers, TextList{})

class KVRDeveloper : public store::DefaultDatabaseQueries<KVRDeveloper> {
  KVR_RECORD(KVRDeveloper, KVRDEVELOPER_PROPERTIES)

  static std::vector<std::string> requiredProperties() { return {"name", "isFollowed", "packagesCount"}; }
};
