// The package tools' part of a device root: APT's and dpkg's set-up, the launcher, the
// stand-ins for device tools and the shell maintainer scripts run with.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <sstream>

#include "foundation/Files.h"
#include "launcher/Sandbox.h"
#include "system/DeviceFiles.h"
#include "system/DeviceRoot.h"
#include "system/DeviceRootBuilder.h"
#include "system/DeviceRootParts.h"

using DeviceRootBuilder::kDeviceAPTConfig;
using DeviceRootBuilder::kDpkgLog;
using DeviceRootBuilder::kRootHome;

namespace {
bool failWith(std::string* error, const std::string& message) {
  if (error) *error = message;
  return false;
}

bool writeFile(DeviceFiles::Tree& tree, const std::string& path, const std::string& text, unsigned mode,
               std::string* error) {
  return tree.createFolders(Files::deletingLastPathComponent(path), error) &&
         tree.writeIfChanged(path, text, error, mode);
}

bool writeIfMissing(DeviceFiles::Tree& tree, const std::string& path, const std::string& text, std::string* error,
                    unsigned mode = 0644) {
  return tree.hasEntry(path) || writeFile(tree, path, text, mode, error);
}

std::string deviceAPTConfiguration(const std::string& root) {
  std::ostringstream out;
  out << "// APT inside the device root " << root << ": every folder, the status file and\n"
      << "// dpkg's root and log are the device's; the architecture is the device's.\n"
      << "Dir \"" << root << "/\";\n"
      << "Dir::State::status \"" << root << "/var/lib/dpkg/status\";\n"
      << "APT::Architecture \"" << DeviceRoot::kArchitecture << "\";\n"
      << "APT::Architectures { \"" << DeviceRoot::kArchitecture << "\"; };\n"
      << "DPkg::Options { \"--root=" << root << "\"; \"--log=" << root << kDpkgLog << "\"; };\n"
      << "// dpkg and APT's other helpers keep the launcher's lock of the root, so the next\n"
      << "// command waits until the last of them has ended.\n"
      << "APT::Keep-Fds { \"" << launcher::kLockDescriptor << "\"; };\n";
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
         DeviceRootBuilder::kStandInCallLog + "\"\n"
         "exit 0\n";
}

std::string executableFolder() {
  char buffer[PATH_MAX + 1];
  ssize_t n = readlink("/proc/self/exe", buffer, PATH_MAX);
  if (n <= 0) return {};
  return Files::deletingLastPathComponent(std::string(buffer, static_cast<size_t>(n)));
}
}  // namespace

namespace DeviceRootBuilder {
// A root that APT's configuration can name and that is not the host itself.
bool usableRoot(const std::string& root, std::string* error) {
  if (root.empty() || root[0] != '/' || root.find_first_not_of('/') == std::string::npos)
    return failWith(error, "a device root must be an absolute folder other than /: \"" + root + "\"");
  if (root.find_first_of("\"\n\r") != std::string::npos)
    return failWith(error, "a device root can't hold double quotes or line breaks: " + root);
  return true;
}
}  // namespace DeviceRootBuilder

namespace DeviceRootParts {
bool ensureRegularFile(DeviceFiles::Tree& tree, const std::string& path, const std::string& text, std::string* error) {
  // Opened without waiting: a named pipe is seen, not read.
  int fd = tree.openFile(path, O_RDONLY | O_NONBLOCK | O_NOCTTY);
  struct stat st {};
  bool regular = fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (fd >= 0) ::close(fd);
  if (regular) return true;
  if (tree.hasEntry(path) && !tree.removeItem(path, error)) return false;
  return writeFile(tree, path, text, 0644, error);
}

bool installPackageTools(DeviceFiles::Tree& tree, std::string* error) {
  const std::string& root = tree.root();
  if (!DeviceRootBuilder::usableRoot(root, error)) return false;
  for (const char* folder : {"/var/lib/apt", "/var/cache/apt/archives/partial", "/var/log/apt", "/etc/apt/apt.conf.d",
                             "/etc/apt/preferences.d", "/etc/apt/trusted.gpg.d", "/etc/quillbark", kRootHome}) {
    if (!tree.createFolders(folder, error)) return false;
  }
  // dpkg accepts archives of the architectures its database knows.
  const std::string architectures = std::string(DeviceRoot::kArchitecture) + "\n";
  if (!ensureRegularFile(tree, std::string(DeviceRoot::kDpkgAdminDir) + "/arch", architectures, error)) return false;
  // dpkg appends to its log: what is no file there is replaced by an empty one.
  if (tree.hasEntry(DeviceRootBuilder::kDpkgLog) && !ensureRegularFile(tree, DeviceRootBuilder::kDpkgLog, "", error))
    return false;
  if (!writeFile(tree, kDeviceAPTConfig, deviceAPTConfiguration(root), 0644, error)) return false;
  // dpkg reads ~/.dpkg.cfg after the host's configuration, so its log stays in the root.
  return writeFile(tree, std::string(kRootHome) + "/.dpkg.cfg", "log " + root + kDpkgLog + "\n", 0644, error);
}

bool installLauncher(DeviceFiles::Tree& tree, const std::string& launcherSource, std::string* error) {
  auto source = Files::read(launcherSource);
  if (!source) return failWith(error, "no launcher at " + launcherSource);
  for (const char* path : {DeviceRoot::kLauncherPath, DeviceRootBuilder::kRebootLauncherPath}) {
    // Only a file that is byte for byte the built one is left in place.
    if (tree.read(path) == source) continue;
    std::string reason;
    if (!tree.createFolders(Files::deletingLastPathComponent(path), &reason) ||
        !tree.copyFile(launcherSource, path, &reason, 0755))
      return failWith(error, "cannot install the launcher at " + tree.root() + path + ": " + reason);
  }
  return true;
}

bool installToolStandIns(DeviceFiles::Tree& tree, std::string* error) {
  for (const char* tool : DeviceRootBuilder::kStandInTools)
    if (!writeFile(tree, tool, standInScript(tool), 0755, error)) return false;
  return true;
}

bool installStaticShell(DeviceFiles::Tree& tree, std::string* error) {
  const std::string busybox = "/bin/busybox";
  auto shell = Files::read(busybox);
  if (!shell) return failWith(error, "no static shell at " + busybox + " (Debian's busybox-static)");
  if (!tree.createFolders("/bin", error)) return false;
  if (tree.read(busybox) != shell && !tree.copyFile(busybox, busybox, error, 0755)) return false;
  // The everyday utilities; not those that stop, restart or reconfigure the machine, nor
  // the package tools (dpkg and APT are the host's, run from outside the root).
  for (const char* applet :
       {"sh", "ash", "[", "[[", "awk", "basename", "bunzip2", "bzcat", "cat", "chgrp", "chmod", "chown", "cmp", "cp",
        "cut", "date", "dd", "diff", "dirname", "echo", "egrep", "env", "expr", "false", "fgrep", "find", "grep",
        "gunzip", "gzip", "head", "id", "kill", "ln", "ls", "md5sum", "mkdir", "mkfifo", "mktemp", "mv", "od",
        "pidof", "printf", "ps", "pwd", "readlink", "realpath", "rm", "rmdir", "sed", "seq", "sha1sum", "sha256sum",
        "sleep", "sort", "stat", "sync", "tail", "tar", "tee", "test", "touch", "tr", "true", "uname", "uniq",
        "unlink", "unzip", "wc", "which", "whoami", "xargs", "xzcat", "yes", "zcat"}) {
    if (!tree.createLink("busybox", std::string("/bin/") + applet, error)) return false;
  }
  if (!tree.createFolders("/usr/bin", error) || !tree.createLink("../../bin/busybox", "/usr/bin/env", error))
    return false;
  // Maintainer scripts of the device's packages often name bash; the shell above reads
  // what they commonly use.
  return writeIfMissing(tree, "/bin/bash", "#!/bin/sh\nexec /bin/sh \"$@\"\n", error, 0755);
}
}  // namespace DeviceRootParts

namespace DeviceRootBuilder {
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
