#pragma once
// The list kinds of the package list, passed by every screen that opens one as its
// category; their texts are also the keys of the list's title in the string tables.
// All and installed packages are defined with the category rows that lead to them.
#include "database/KVRPackageListCaches.h"

inline constexpr const char* kCategorySpecial_UpdatedPackages = "Updated Packages";
inline constexpr const char* kCategorySpecial_NewPackages = "__NEW_PACKAGES__";
inline constexpr const char* kCategorySpecial_SourcePackages = "__SOURCE_PACKAGES__";
inline constexpr const char* kCategorySpecial_NewPackagesVersions = "New Versions";
inline constexpr const char* kCategorySpecial_Search = "Search";
inline constexpr const char* kCategorySpecial_SileoPackages = "Purchased Packages";
inline constexpr const char* kCategorySpecial_NewPackagesFromFollowedDeveloper = "New Packages from Followed Developers";
inline constexpr const char* kCategorySpecial_NewPackagesFromFollowedSource = "New Packages from Followed Source";
inline constexpr const char* kCategorySpecial_DownloadsHistory = "Downloads History";
