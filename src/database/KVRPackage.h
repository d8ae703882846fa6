#pragma once
// One package identifier across all sources: what the sources offer (the newest
// version), what dpkg reports installed, and the user's queue, wish and payment marks.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "database/KVRPackageVersion.h"
#include "foundation/Date.h"
#include "store/RecordTraits.h"
#include "store/TypedResults.h"

using OptText = std::optional<std::string>;
using OptBool = std::optional<bool>;
using OptInt = std::optional<int64_t>;
using OptDate = std::optional<Date>;
using TextList = std::vector<std::string>;

#define KVRPACKAGE_PROPERTIES(P)                                                       \
  P(OptText, rawPackage, setRawPackage, std::nullopt)                                  \
  P(std::string, identifier, setIdentifier, "")                                        \
  P(OptText, location, setLocation, std::nullopt)                                      \
  P(OptText, maintainer, setMaintainer, std::nullopt)                                  \
  P(OptText, contact, setContact, std::nullopt)                                        \
  P(OptText, maxosversion, setMaxosversion, std::nullopt)                              \
  P(OptText, minosversion, setMinosversion, std::nullopt)                              \
  P(OptText, category, setCategory, std::nullopt)                                      \
  P(OptText, name, setName, std::nullopt)                                              \
  P(OptText, size, setSize, std::nullopt)                                              \
  P(OptText, version, setVersion, std::nullopt)                                        \
  P(OptText, website, setWebsite, std::nullopt)                                        \
  P(OptText, Description, setDescription, std::nullopt)                                \
  P(OptText, iconURL, setIconURL, std::nullopt)                                        \
  P(OptText, sileoDepiction, setSileoDepiction, std::nullopt)                          \
  P(OptBool, isHeld, setIsHeld, false)                                                 \
  P(OptBool, isEssential, setIsEssential, std::nullopt)                                \
  P(TextList, dependencies, setDependencies, TextList{})                               \
  P(TextList, conflicts, setConflicts, TextList{})                                     \
  P(TextList, provides, setProvides, TextList{})                                       \
  P(TextList, replaces, setReplaces, TextList{})                                       \
  P(OptText, sourceLocation, setSourceLocation, std::nullopt)                          \
  P(OptText, price, setPrice, std::nullopt)                                            \
  P(OptText, postinstallaction, setPostinstallaction, std::nullopt)                    \
  P(OptDate, installDate, setInstallDate, std::nullopt)                                \
  P(OptText, installedVersion, setInstalledVersion, std::nullopt)                      \
  P(OptBool, isInstalled, setIsInstalled, false)                                       \
  P(OptBool, isUpdated, setIsUpdated, std::nullopt)                                    \
  P(TextList, installedFiles, setInstalledFiles, TextList{})                           \
  P(OptBool, isInstalledUsingAnotherPM, setIsInstalledUsingAnotherPM, std::nullopt)    \
  P(OptInt, tweakCompatibleStatus, setTweakCompatibleStatus, std::nullopt)             \
  P(OptBool, hasNewVersion, setHasNewVersion, std::nullopt)                            \
  P(OptBool, isPaidThroughSileo, setIsPaidThroughSileo, std::nullopt)                  \
  P(OptBool, isPaidThroughCydia, setIsPaidThroughCydia, std::nullopt)                  \
  P(OptBool, isInWishlist, setIsInWishlist, std::nullopt)                              \
  P(OptInt, myRating, setMyRating, std::nullopt)                                       \
  P(OptInt, rating, setRating, std::nullopt)                                           \
  P(OptBool, isInTheQueue, setIsInTheQueue, std::nullopt)                              \
  P(std::vector<KVRPackageVersion>, availableVersions, setAvailableVersions, {})       \
  P(OptInt, queueOperation, setQueueOperation, std::nullopt)                           \
  P(OptText, queuedVersion, setQueuedVersion, std::nullopt)                            \
  P(OptDate, initialDate, setInitialDate, std::nullopt)                                \
  P(OptText, initialDateStr, setInitialDateStr, std::nullopt)                          \
  P(OptDate, updatedDate, setUpdatedDate, std::nullopt)                                \
  P(OptText, updatedDateStr, setUpdatedDateStr, std::nullopt)                          \
  P(OptText, url, setUrl, std::nullopt)                                                \
  P(OptText, subcategory, setSubcategory, std::nullopt)                                \
  P(TextList, iPadScreenshots, setIPadScreenshots, TextList{})                         \
  P(OptBool, isADependency, setIsADependency, std::nullopt)                            \
  P(TextList, screenshots, setScreenshots, TextList{})                                 \
  P(TextList, screenshotsLocalPaths, setScreenshotsLocalPaths, TextList{})             \
  P(OptText, installState, setInstallState, std::nullopt)                             \
  P(OptText, architecture, setArchitecture, std::nullopt)

class KVRPackage : public store::DefaultDatabaseQueries<KVRPackage> {
  KVR_RECORD(KVRPackage, KVRPACKAGE_PROPERTIES)

  static std::string primaryKey() { return "identifier"; }
  static std::vector<std::string> requiredProperties() { return {"identifier"}; }
  // {"isInstalled": NO, "isHeld": NO}
  static Value defaultPropertyValues();

  // The sources' own marker for a package known only from the dpkg status file.
  static constexpr const char* kDPKGSourceLocation = "DPKG";

  // dpkg's state of a package it counts installed but did not finish with: its files are
  // unpacked but it was never set up ("unpacked"), its setup failed ("half-configured"),
  // or its files are half in place ("half-installed"). Nothing for a package fully
  // installed, or not installed at all.
  static constexpr const char* kUnpackedState = "unpacked";
  static constexpr const char* kHalfConfiguredState = "half-configured";
  static constexpr const char* kHalfInstalledState = "half-installed";
  // What its rows and page say of a package installed but not finished: "needs
  // configuring" (unpacked, half-configured), "not fully installed" (half-installed), in
  // capitals for a button; nothing when it is fully installed or not installed (the
  // English text, a key of the string tables).
  std::optional<std::string> unfinishedInstallText(bool capitals = false) const;
  static std::optional<std::string> unfinishedInstallText(const std::optional<std::string>& installState,
                                                          bool capitals = false);

  // Offered for another architecture than the device's, and not "all": APT will not
  // install it here. A package without one (known from dpkg) is the device's.
  bool isForAnotherArchitecture() const;

  // YES for an absent or empty price, "0", "0.00" and "free" in any case.
  bool isFree() const;
  // Where the icon provider keeps this package's icon: IconCache/<MD5 of iconURL>.png
  // in the application-support folder of the device root.
  std::string iconPath() const;

  // The outside store's icon for a package without an "Icon" field.
  static std::string defaultIconURLForIdentifier(const std::string& identifier);
  // The same into `out`, replacing what it held.
  static void defaultIconURLForIdentifierInto(std::string& out, std::string_view identifier);
  // The developer's display name for an "Author"/"Maintainer" name: the two names one
  // developer publishes under are folded into one alias; others stay as they are.
  static std::string foldedMaintainerName(const std::string& name);
  // The same in place.
  static void foldMaintainerName(std::string& name);
  static const char* const kFoldedMaintainerAlias;
  // "respring" when the dependencies hold "mobilesubstrate" or the Substitute hooking
  // library exactly (a versioned clause does not count), or the package is this
  // application; "" otherwise.
  static std::string postinstallactionFor(const std::string& identifier, const TextList& dependencies);
  static constexpr const char* kSubstituteIdentifier = "com.ex.substitute";
  static constexpr const char* kApplicationIdentifier = "me.korvale.quillbark";
};
