#pragma once
// How the launcher finds its device root and confines the package tools to it. Plain
// C++ with no dependency of ours, so the launcher can be copied into a root on its own.
#include <string>

namespace launcher {
// The variable that names the device root for a launcher run from outside a root
// (from the build folder, say). An installed launcher ignores it.
inline constexpr const char* kDeviceRootVariable = "QUILLBARK_DEVICE_ROOT";

// The two places the launcher is installed inside a device root.
inline constexpr const char* kInstallPath = "/usr/libexec/quillbark/dedev";
inline constexpr const char* kRebootInstallPath = "/usr/libexec/dedev";

// The exit status of a command that did not run because no sandbox could be made for it
// (Sandbox.h), and the start of the line that says why.
inline constexpr int kNoSandboxStatus = 125;
inline constexpr const char* kNoSandboxMessage = "dedev: no sandbox: ";

// The exit status of a command that did not run because another run in the root went on
// for as long as a launcher waits (RootLock.h), or the root's lock could not be had.
inline constexpr int kRootBusyStatus = 126;

// Files of the device root that the tools are pointed at.
inline constexpr const char* kDeviceAPTConfig = "/etc/quillbark/apt.conf";
inline constexpr const char* kDpkgAdminDir = "/var/lib/dpkg";
inline constexpr const char* kRootHome = "/var/root";

// The device root of a launcher whose executable is `executablePath`: the folder in
// front of either install path ("/" when that is empty), else `variable` when it is an
// absolute path other than "/". Empty when neither applies.
std::string deviceRootFor(const std::string& executablePath, const char* variable);

// Answers the device tool that `command` would start from the host (for example
// "/sbin/reboot" or a bare "killall") when the root is not "/", else empty. Only words
// in command position count, so a package named like a tool can still be held.
std::string hostToolNamedIn(const std::string& command, const std::string& root);

// Points APT and dpkg at the device root: APT_CONFIG, DPKG_ROOT, DPKG_ADMINDIR, and
// HOME (whose dpkg user configuration keeps dpkg's log inside the root). Answers false
// with `error` set when the root's APT configuration is missing.
bool confineTools(const std::string& root, std::string& error);
}  // namespace launcher
