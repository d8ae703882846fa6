#pragma once
// The pieces the device-root builder puts in a root, each written below the root through
// a DeviceFiles::Tree (never through a link that leaves it). DeviceRootBuilder.h is the
// interface; these are its parts.
#include <string>

#include "system/DeviceFiles.h"
#include "system/DeviceRootBuilder.h"

namespace DeviceRootParts {
// The pseudo-packages a jailbroken device's dpkg status holds for the device itself:
// "firmware" and "cy+os.ios" at the system version, the CPU, kernel, model and
// CoreFoundation entries from the facts. Missing or outdated ones are written; every
// other entry of the status is kept as it is.
bool writeDevicePackages(DeviceFiles::Tree& tree, const DeviceFacts& facts, std::string* error);
// The text of those entries, as dpkg's status has them.
std::string devicePackagesStatus(const DeviceFacts& facts);

bool installPackageTools(DeviceFiles::Tree& tree, std::string* error);
// A file the package tools read: a regular file is kept as it is; anything else (a
// link, a named pipe, a folder) is replaced by one holding `text`, as is a missing one.
bool ensureRegularFile(DeviceFiles::Tree& tree, const std::string& path, const std::string& text, std::string* error);
bool installToolStandIns(DeviceFiles::Tree& tree, std::string* error);
// A static shell (Debian's busybox-static) and the utilities maintainer scripts call, as
// links to it in /bin (an entry a package put there is kept); "bash" runs the same shell.
bool installStaticShell(DeviceFiles::Tree& tree, std::string* error);
bool installLauncher(DeviceFiles::Tree& tree, const std::string& launcherSource, std::string* error);
}  // namespace DeviceRootParts
