#pragma once
// One repository: its location (the primary key, ending in "/"), what its Release
// says about it, and the state of its last refresh.
#include <optional>
#include <string>

#include "database/KVRPackage.h"
#include "store/RecordTraits.h"
#include "store/TypedResults.h"

#define KVRSOURCE_PROPERTIES(P)                                                  \
  P(OptText, addingDate, setAddingDate, std::nullopt)                            \
  P(OptText, category, setCategory, std::nullopt)                                \
  P(OptText, contact, setContact, std::nullopt)                                  \
  P(OptText, Description, setDescription, std::nullopt)                          \
  P(OptText, donateLink, setDonateLink, std::nullopt)                            \
  P(OptText, endpoint, setEndpoint, std::nullopt)                                \
  P(OptBool, hasEndpoint, setHasEndpoint, std::nullopt)                          \
  P(OptBool, hasErrors, setHasErrors, std::nullopt)                              \
  P(OptText, iconURL, setIconURL, std::nullopt)                                  \
  P(OptBool, isFollowed, setIsFollowed, std::nullopt)                            \
  P(OptBool, isTrusted, setIsTrusted, std::nullopt)                              \
  P(OptBool, isUnsafe, setIsUnsafe, std::nullopt)                                \
  P(OptBool, isUsingInfoJson, setIsUsingInfoJson, std::nullopt)                  \
  P(OptDate, lastrefresh, setLastrefresh, std::nullopt)                          \
  P(std::string, location, setLocation, "")                                      \
  P(OptText, maintainer, setMaintainer, std::nullopt)                            \
  P(OptText, name, setName, std::nullopt)                                        \
  P(OptText, regenDate, setRegenDate, std::nullopt)                              \
  P(OptText, url, setUrl, std::nullopt)                                          \
  P(OptBool, seeOriginalDepictions, setSeeOriginalDepictions, std::nullopt)      \
  P(OptText, subcategory, setSubcategory, std::nullopt)                          \
  P(OptText, totalPackages, setTotalPackages, std::nullopt)                      \
  P(OptText, twitterLink, setTwitterLink, std::nullopt)                          \
  P(OptBool, waitingLogin, setWaitingLogin, std::nullopt)

class KVRSource : public store::DefaultDatabaseQueries<KVRSource> {
  KVR_RECORD(KVRSource, KVRSOURCE_PROPERTIES)

  static std::string primaryKey() { return "location"; }
  static std::vector<std::string> requiredProperties() { return {"location"}; }

  // A new record, not yet stored, for a location that already ends in "/": the
  // location as its name, " " as description and package count until the first
  // refresh, not followed, no info file, and the time it was made as "yyy-MM-dd
  // HH:mm:ss" in the device's time zone.
  static KVRSource newSourceWithLocation(const std::string& location);
};
