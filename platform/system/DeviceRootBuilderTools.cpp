// The package tools' part of a device root: APT's and dpkg's set-up, the launcher and
// the stand-ins for device tools.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sstream>

#include "foundation/Files.h"
#include "system/DeviceFiles.h"
#include "system/DeviceRoot.h"
#include "system/DeviceRootBuilder.h"

namespace DeviceRootBuilder {
namespace {
bool failWith(std::string* error, const std::string& message) {
  if (error) *error = message;
  return false;
}

bool writeFile(const std::string& path, const std::string& text, unsigned mode, std::string* error) {
  Files::createDirectories(Files::deletingLastPathComponent(path));
  if (Files::writeAtomically(path, text, nullptr, mode)) return true;
  return failWith(error, "cannot write " + path);
}

bool writeIfMissing(const std::string& path, const std::string& text, std::string* error) {
  return Files::exists(path) || writeFile(path, text, 0644, error);
}

}  // namespace

// A root that APT's configuration can name and that is not the host itself.
bool usableRoot(const std::string& root, std::string* error) {
  if (root.empty() || root[0] != '/' || root.find_first_not_of('/') == std::string::npos)
    return failWith(error, "a device root must be an absolute folder other than /: \"" + root + "\"");
  if (root.find_first_of("\"\n\r") != std::string::npos)
    return failWith(error, "a device root can't hold double quotes or line breaks: " + root);
  return true;
}

namespace {

std::string deviceAPTConfiguration(const std::string& root) {
  std::ostringstream out;
  out << "// APT inside the device root " << root << ": every folder, the status file and\n"
      << "// dpkg's root and log are the device's; the architecture is the device's.\n"
      << "Dir \"" << root << "/\";\n"
      << "Dir::State::status \"" << root << "/var/lib/dpkg/status\";\n"
      << "APT::Architecture \"iphoneos-arm\";\n"
      << "APT::Architectures { \"iphoneos-arm\"; };\n"
      << "DPkg::Options { \"--root=" << root << "\"; \"--log=" << root << kDpkgLog << "\"; };\n";
  return out.str();
}

std::string standInScript(const std::string& tool) {
  // The root is the stand-in's own path without its device path, so the same script
  // records its call when run from the host and when run chrooted in the root.
  return "#!/bin/sh\n"
         "# Stand-in for the device's " + tool + ": records the call, does nothing else.\n"
         "tool='" + tool + "'\n"
         "root=\"${0%\"$tool\"}\"\n"
         "{ printf '%s' \"$tool\"; for a in \"$@\"; do printf ' %s' \"$a\"; done; printf '\\n'; } >> \"$root" +
         kStandInCallLog + "\"\n"
         "exit 0\n";
}

// Everything an open file holds; nothing for -1. The descriptor is closed.
std::optional<Data> contentsOf(int fd) {
  if (fd < 0) return std::nullopt;
  Data out;
  uint8_t buffer[1 << 14];
  ssize_t n;
  while ((n = ::read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
    if (n > 0) out.insert(out.end(), buffer, buffer + n);
  ::close(fd);
  if (n < 0) return std::nullopt;
  return out;
}

bool sameContents(const std::string& a, const std::string& b) {
  auto x = Files::read(a), y = Files::read(b);
  return x && y && *x == *y;
}

std::string executableFolder() {
  char buffer[PATH_MAX + 1];
  ssize_t n = readlink("/proc/self/exe", buffer, PATH_MAX);
  if (n <= 0) return {};
  return Files::deletingLastPathComponent(std::string(buffer, static_cast<size_t>(n)));
}
}  // namespace

bool installPackageTools(const std::string& root, std::string* error) {
  if (!usableRoot(root, error)) return false;
  for (const char* folder : {"/var/lib/apt", "/var/cache/apt/archives/partial", "/var/log/apt", "/etc/apt/apt.conf.d",
                             "/etc/apt/preferences.d", "/etc/apt/trusted.gpg.d", "/etc/quillbark", kRootHome}) {
    if (!Files::createDirectories(root + folder)) return failWith(error, "cannot create " + root + folder);
  }
  // dpkg accepts archives of the architectures its database knows.
  if (!writeIfMissing(root + DeviceRoot::kDpkgAdminDir + "/arch", "iphoneos-arm\n", error)) return false;
  if (!writeFile(root + kDeviceAPTConfig, deviceAPTConfiguration(root), 0644, error)) return false;
  // dpkg reads ~/.dpkg.cfg after the host's configuration, so its log stays in the root.
  return writeFile(root + kRootHome + "/.dpkg.cfg", "log " + root + kDpkgLog + "\n", 0644, error);
}

bool installLauncher(const std::string& root, const std::string& launcherSource, std::string* error) {
  if (!usableRoot(root, error)) return false;
  auto source = Files::read(launcherSource);
  if (!source) return failWith(error, "no launcher at " + launcherSource);
  for (const char* path : {DeviceRoot::kLauncherPath, kRebootLauncherPath}) {
    // The root's launcher is read and written without following a link out of the root,
    // and only a file that is byte for byte the built one is left in place.
    std::string target = root + path;
    if (contentsOf(DeviceFiles::openFile(target, O_RDONLY)) == source) continue;
    std::string reason;
    if (!DeviceFiles::createFolders(Files::deletingLastPathComponent(target), &reason) ||
        !DeviceFiles::copyFile(launcherSource, target, &reason, 0755))
      return failWith(error, "cannot install the launcher at " + target + ": " + reason);
  }
  return true;
}

bool ensureLauncher(std::string* error) {
  std::string root = DeviceRoot::root();
  if (root.empty()) return true;  // a device's own launcher
  std::string source = defaultLauncherSource();
  if (source.empty()) return failWith(error, "no built launcher to put in the device root " + root);
  return installLauncher(root, source, error);
}

bool installToolStandIns(const std::string& root, std::string* error) {
  if (!usableRoot(root, error)) return false;
  for (const char* tool : kStandInTools)
    if (!writeFile(root + tool, standInScript(tool), 0755, error)) return false;
  return true;
}

bool installStaticShell(const std::string& root, std::string* error) {
  if (!usableRoot(root, error)) return false;
  const std::string busybox = "/bin/busybox";
  if (!Files::exists(busybox)) return failWith(error, "no static shell at " + busybox + " (busybox-static)");
  std::string target = root + "/bin/busybox";
  Files::createDirectories(root + "/bin");
  if (!sameContents(busybox, target)) {
    Files::removeItem(target);
    if (!Files::copyItem(busybox, target) || ::chmod(target.c_str(), 0755) != 0)
      return failWith(error, "cannot copy the static shell to " + target);
  }
  for (const char* applet : {"sh", "cat", "echo", "ls", "mkdir", "rm", "touch"}) {
    std::string link = root + "/bin/" + applet;
    struct stat st;
    if (::lstat(link.c_str(), &st) == 0) continue;
    if (::symlink("busybox", link.c_str()) != 0) return failWith(error, "cannot link " + link);
  }
  return true;
}

std::string defaultLauncherSource() {
  if (const char* env = getenv("QUILLBARK_LAUNCHER"); env && *env) return Files::exists(env) ? env : "";
  std::string folder = executableFolder();
  if (folder.empty()) return {};
  for (const char* relative : {"/dedev", "/platform/launcher/dedev", "/../platform/launcher/dedev"}) {
    std::string candidate = folder + relative;
    if (Files::exists(candidate) && !Files::isDirectory(candidate)) return candidate;
  }
  return {};
}

std::vector<std::string> standInCalls(const std::string& root) {
  std::vector<std::string> calls;
  std::istringstream in(Files::readText(root + kStandInCallLog).value_or(std::string()));
  for (std::string line; std::getline(in, line);) calls.push_back(line);
  return calls;
}
}  // namespace DeviceRootBuilder
