#include "core/KVSourceLocation.h"

#include "core/SourceLocations.h"

Expected<KVSourceLocation> KVSourceLocation::fromText(std::string_view text) {
  std::string location = SourceLocations::normalized(text);
  if (auto reason = SourceLocations::refusal(location))
    return makeError(KVSourceLocationErrorDomain, 1, *reason);
  if (location.back() != '/') location += '/';
  return KVSourceLocation(std::move(location));
}

std::string_view KVSourceLocation::withoutScheme() const {
  std::string_view text = text_;
  return text.substr(text.find("://") + 3);
}
