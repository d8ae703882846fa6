#pragma once
// One further version of a package offered by a source: which source, where its .deb
// is, and the version. Owned by a package's list of available versions.
#include <optional>
#include <string>

#include "store/RecordTraits.h"
#include "store/TypedResults.h"

#define KVRPACKAGEVERSION_PROPERTIES(P)                                \
  P(std::optional<std::string>, source, setSource, std::nullopt)       \
  P(std::optional<std::string>, fileLocation, setFileLocation, std::nullopt) \
  P(std::optional<std::string>, version, setVersion, std::nullopt)

class KVRPackageVersion : public store::DefaultDatabaseQueries<KVRPackageVersion> {
  KVR_RECORD(KVRPackageVersion, KVRPACKAGEVERSION_PROPERTIES)

  static std::vector<std::string> requiredProperties() { return {}; }

  // Nothing when any argument is missing; otherwise the version of `sourceLocation`
  // whose .deb is `fileName` appended to the location as a path component.
  static std::optional<KVRPackageVersion> packageVersionWithSourceLocation(const std::optional<std::string>& sourceLocation,
                                                                           const std::optional<std::string>& fileName,
                                                                           const std::optional<std::string>& version);

  // "version: %@, source: %@ fileLocation: %@", for logs.
  std::string description() const;
};
