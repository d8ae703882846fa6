#pragma once
// Every absolute device path ("/var/lib/dpkg/status", "/var/mobile/Library/...")
// goes through devicePath(), which puts the device root in front. On a device the
// root is "/"; everywhere else it is a folder laid out like a device, so nothing the
// system does touches the host.
#include <string>

#include "launcher/LauncherEnvironment.h"

namespace DeviceRoot {
// The current device root, without a trailing "/" ("" stands for "/").
std::string root();
void setRoot(const std::string& root);
bool isRealDevice();  // the root is "/"
// Maps an absolute device path into the device root. A relative path is returned as
// it is. "." and ".." are resolved first, so the result stays inside the root.
std::string devicePath(const std::string& absolutePath);
// The reverse: a host path inside the root back to its device path.
std::string deviceRelative(const std::string& hostPath);

// Well-known device folders.
inline constexpr const char* kMobileHome = "/var/mobile";
inline constexpr const char* kApplicationSupport = "/var/mobile/Library/Application Support/Quillbark";
inline constexpr const char* kPreferencesFolder = "/var/mobile/Library/Preferences";
inline constexpr const char* kCachesFolder = "/var/mobile/Library/Caches/me.korvale.quillbark";
inline constexpr const char* kLogFolder = "/var/mobile/Library/Logs/me.korvale.quillbark";
inline constexpr const char* kDocumentsFolder = "/var/mobile/Documents";
inline constexpr const char* kSystemVersionPlist = "/System/Library/CoreServices/SystemVersion.plist";
inline constexpr const char* kDeviceFactsFile = "/etc/quillbark/device.json";
inline constexpr const char* kDpkgAdminDir = launcher::kDpkgAdminDir;
inline constexpr const char* kLauncherPath = launcher::kInstallPath;
// The architecture of the device's packages, as its APT and dpkg know it; packages of
// "all" install on it too.
inline constexpr const char* kArchitecture = "iphoneos-arm";
}  // namespace DeviceRoot
