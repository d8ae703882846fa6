#include "database/KVRPackageVersion.h"

#include "foundation/URL.h"

KVR_RECORD_IMPL(KVRPackageVersion, KVRPACKAGEVERSION_PROPERTIES, store::record::noCustomization)

std::optional<KVRPackageVersion> KVRPackageVersion::packageVersionWithSourceLocation(
    const std::optional<std::string>& sourceLocation, const std::optional<std::string>& fileName,
    const std::optional<std::string>& version) {
  if (!sourceLocation || !fileName || !version) return std::nullopt;
  KVRPackageVersion record;
  record.setVersion(*version);
  record.setSource(*sourceLocation);
  if (auto base = URL::fromString(*sourceLocation)) {
    record.setFileLocation(base->URLByAppendingPathComponent(*fileName).absoluteString());
  } else {
    // A location that is no URL still records where the file would be.
    std::string joined = *sourceLocation;
    if (!joined.empty() && joined.back() != '/') joined.push_back('/');
    record.setFileLocation(joined + *fileName);
  }
  return record;
}

std::string KVRPackageVersion::description() const {
  return "version: " + version().value_or("(null)") + ", source: " + source().value_or("(null)") +
         " fileLocation: " + fileLocation().value_or("(null)");
}
