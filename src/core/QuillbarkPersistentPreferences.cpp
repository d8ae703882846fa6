#include "core/QuillbarkPersistentPreferences.h"

#include <atomic>
#include <mutex>
#include <vector>

#include "foundation/Files.h"
#include "system/DeviceFiles.h"
#include "system/DeviceRoot.h"

namespace {
std::mutex gSharedMutex;
QuillbarkPersistentPreferences* gShared = nullptr;
// Stores replaced by a reset stay alive and reachable: observers and timers of a
// running test may still point at them.
std::vector<QuillbarkPersistentPreferences*>* gRetired = new std::vector<QuillbarkPersistentPreferences*>();
}  // namespace

std::string QuillbarkPersistentPreferences::preferencesPath() {
  return DeviceRoot::devicePath(std::string(DeviceRoot::kApplicationSupport) + "/" + kFileName);
}

QuillbarkPersistentPreferences& QuillbarkPersistentPreferences::sharedInstance() {
  std::lock_guard<std::mutex> lock(gSharedMutex);
  if (!gShared) gShared = new QuillbarkPersistentPreferences(preferencesPath());
  return *gShared;
}

void QuillbarkPersistentPreferences::resetSharedInstance() {
  std::lock_guard<std::mutex> lock(gSharedMutex);
  if (gShared) gRetired->push_back(gShared);
  gShared = new QuillbarkPersistentPreferences(preferencesPath());
}

Value QuillbarkPersistentPreferences::quillbarkDefaultPreferences() {
  return Value::dict({
      {"NewPackagesByFollowedDevelopers", false},
      {"AuthenticationForPackagesManagementTasks", false},
      {"ShowIncompatiblePackages", false},
      {"PlaySounds", false},
      {"ShowBetaPackages", true},
      {"GetCydiaPackageInfoFromDepiction", true},
      {"DarkMode", false},
      {"AppleDarkMode", false},
      {"TrueDarkMode", false},
      {"ShowVerboseUI", false},
      {"AutoVerboseViewForPackageTasks", true},
      {"OriginalCydiaSourcesIcons", true},
      {"prefersLargeTitles", true},
      {"NewsCount", 0},
      {"ShowNotificationsInsteadOfErrorAlerts", true},
      {"HidePackageTweakCompatibleIndicator", false},
      {"HidePackageVersion", false},
      {"ReplacePackageMaintainerWithSourceName", false},
      {"HidePackageDescription", false},
      {"ShowNewVersionsInNewPackages", false},
      {"DisableIconsFetching", false},
      {"LegacyIcon", false},
      {"SortInstalledPackagesBy", "Name"},
      {"UseTranslucentBars", true},
      {"SyncDownloadsHistory", true},
  });
}

void QuillbarkPersistentPreferences::mergeDefaultPreferences() {
  if (Files::isDirectory(persistentPath())) {
    DeviceFiles::removeItem(persistentPath());
    reloadFromFile();
  }
  DeviceFiles::createFolders(Files::deletingLastPathComponent(persistentPath()));
  Value current = dictionary();
  Value defaults = quillbarkDefaultPreferences();
  Value missing(Value::Dictionary{});
  for (const auto& [key, value] : *defaults.dictionaryPtr())
    if (!current.contains(key)) missing.set(key, value);
  if (!missing.empty()) setValuesForKeysWithDictionary(missing);
  if (!missing.empty() || !Files::exists(persistentPath())) saveToFile();
}
