// dedev: runs its one argument with /bin/sh -c as root and passes the output and the
// exit status through. Serving a device root (anything but "/"), it points APT and dpkg
// at that root and runs the command in a sandbox where only the root is writable
// (Sandbox.h); when no sandbox can be made, the command does not run at all. A device
// tool (reboot, killall, ...) named by the host's own path is refused with a clear line
// first; the sandbox is what keeps any other form from acting on the host.
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "LauncherEnvironment.h"
#include "Sandbox.h"

namespace {
std::string executablePath() {
  char buffer[PATH_MAX + 1];
  ssize_t n = readlink("/proc/self/exe", buffer, PATH_MAX);
  if (n <= 0) return {};
  return std::string(buffer, static_cast<size_t>(n));
}

int fail(int status, const std::string& message) {
  fprintf(stderr, "dedev: %s\n", message.c_str());
  return status;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return fail(2, "usage: dedev \"command\"");
  const char* command = argv[1];

  std::string root = launcher::deviceRootFor(executablePath(), getenv(launcher::kDeviceRootVariable));
  if (root.empty())
    return fail(126, std::string("not installed in a device root and ") + launcher::kDeviceRootVariable +
                         " names no device root folder");

  if (root != "/") {
    char resolved[PATH_MAX];
    if (!::realpath(root.c_str(), resolved)) return fail(126, "the device root " + root + ": " + strerror(errno));
    root = resolved;
    std::string tool = launcher::hostToolNamedIn(command, root);
    if (!tool.empty())
      return fail(126, "refusing to run the host's " + tool + " for the device root " + root +
                           "; name the tool inside the root");
    std::string error;
    if (!launcher::confineTools(root, error)) return fail(126, error);
  }

  // Installed set-user-id root on a device: become root for the whole command.
  if (geteuid() == 0 && getuid() != 0) {
    if (setgid(0) != 0 || setuid(0) != 0) return fail(126, std::string("cannot become root: ") + strerror(errno));
  }

  if (root != "/") return launcher::runSandboxed(root, command);
  execl("/bin/sh", "sh", "-c", command, static_cast<char*>(nullptr));
  return fail(127, std::string("cannot run /bin/sh: ") + strerror(errno));
}
