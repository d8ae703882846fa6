#pragma once
// Lays out a folder like a device: the dpkg database (reachable as "var/lib/dpkg" and
// "Library/dpkg") with the device's own pseudo-packages, the mobile user's folders, the
// system-version property list, a small file of device facts, a shell with the common
// utilities, and the package tools' set-up. One builder for the application and the
// tests. Idempotent: what exists is kept, and a root made by an earlier version is
// completed. Nothing is written through a link that leaves the root.
#include <string>
#include <vector>

#include "foundation/Value.h"
#include "launcher/LauncherEnvironment.h"

struct DeviceFacts {
  std::string systemVersion = "14.4";   // the emulated iOS version
  std::string model = "iPhone10,3";     // hardware model identifier
  std::string deviceName = "iPhone";
  std::string udid = "0000000000000000000000000000000000000000";
  std::string cpuArchitecture = "arm64";
};

namespace DeviceRootBuilder {
// What the builder sets up for the package tools, as device paths: the ones the
// launcher relies on are the launcher's own.
inline constexpr const char* kDeviceAPTConfig = launcher::kDeviceAPTConfig;  // the launcher's APT_CONFIG
inline constexpr const char* kRebootLauncherPath = launcher::kRebootInstallPath;  // the launcher's second path
inline constexpr const char* kRootHome = launcher::kRootHome;  // HOME of the launcher's tools (dpkg's user configuration)
inline constexpr const char* kDpkgLog = "/var/log/dpkg.log";
// Device tools that must never reach the host: each is a stand-in that only appends
// its device path and arguments, separated by blanks, as one line to kStandInCallLog.
inline constexpr const char* kStandInTools[] = {"/sbin/reboot", "/usr/bin/killall", "/usr/bin/sbreload",
                                                "/usr/bin/uicache"};
inline constexpr const char* kStandInCallLog = "/var/log/quillbark-stand-in-calls.log";

// Builds (or completes) a device root at `root`: the folders and files below, the
// package tools' set-up (installPackageTools), the tool stand-ins, the static shell, and
// the launcher when defaultLauncherSource() finds one. A package can have turned the
// device's folders into links out of the root: each such link on the builder's way is
// replaced by a folder, and `repairs` says which. The root's own folder is kept from the
// host's other users (launcher/RootOwnership.h). Answers false with `error` set when a
// folder can't be made.
// The device facts file (DeviceRoot::kDeviceFactsFile) is package data as well: one that
// is not a regular file, not a JSON object, or holds a fact of a form no device gives
// (usableFact) is replaced by one of `facts`, and `factsReplaced` says so.
bool build(const std::string& root, const DeviceFacts& facts = {}, std::string* error = nullptr,
           std::vector<std::string>* repairs = nullptr, bool* factsReplaced = nullptr);
// Whether a value of the device facts file has the form a device gives it: "model" like
// "iPhone10,3", "cpuArchitecture" like "arm64", "name" one line of text, "udid" and
// "vendorIdentifier" hexadecimal digits and dashes, each of a device's length. Other keys
// pass.
bool usableFact(const std::string& key, const Value& value);
// The most the facts file may hold.
inline constexpr size_t kMaxDeviceFactsBytes = 64 * 1024;
// Whether `root` can be a device root: an absolute folder other than "/" that APT's
// configuration can name (no double quotes or line breaks).
bool usableRoot(const std::string& root, std::string* error = nullptr);
// Writes the system version into the root's system-version property list, and the
// "firmware" pseudo-package of its dpkg status follows it.
bool setSystemVersion(const std::string& root, const std::string& version, std::string* error = nullptr);

// APT's and dpkg's folders and files inside the root: the device APT configuration
// (Dir, the status file, APT::Architecture "iphoneos-arm", dpkg's --root and --log),
// the "iphoneos-arm" architecture known to the root's dpkg, and a dpkg user
// configuration in kRootHome that keeps dpkg's log inside the root. The root must be
// an absolute path other than "/", without double quotes or line breaks.
bool installPackageTools(const std::string& root, std::string* error = nullptr);
// Copies the built launcher to both of its device paths (when it differs), never through
// a link out of the root.
bool installLauncher(const std::string& root, const std::string& launcherSource, std::string* error = nullptr);
// Before the host runs a launcher of the current device root: both of its paths must hold
// the built launcher (defaultLauncherSource()). The root is package data, and a package
// that manages to replace the launcher would otherwise have the host run its program
// unconfined; a changed or missing launcher is put back. False, with `error`, when that
// can't be done (a link out of the root on the way, no built launcher). True on a device.
bool ensureLauncher(std::string* error = nullptr);
bool installToolStandIns(const std::string& root, std::string* error = nullptr);
// The built launcher: $QUILLBARK_LAUNCHER, else "dedev" beside this executable or in
// the build tree's platform/launcher next to or above it. Empty when none exists.
std::string defaultLauncherSource();
// The lines the stand-ins have recorded, in order.
std::vector<std::string> standInCalls(const std::string& root);
}  // namespace DeviceRootBuilder
