#include "support/DeviceRootFixture.h"

#include <stdexcept>

#include "core/KVPlatform.h"
#include "system/DeviceRoot.h"
#include "system/Process.h"

TemporaryDeviceRoot::TemporaryDeviceRoot(Options options) : path_(dir_.path() + "/device") {
  std::string error;
  if (!DeviceRootBuilder::build(path_, options.facts, &error) ||
      !DeviceRootBuilder::installLauncher(path_, options.launcher, &error) ||
      (options.staticShell && !DeviceRootBuilder::installStaticShell(path_, &error)))
    throw std::runtime_error("cannot build a device root: " + error);
  previousRoot_ = DeviceRoot::root();
  DeviceRoot::setRoot(path_);
  KVPlatform::resetCaches();
}

TemporaryDeviceRoot::~TemporaryDeviceRoot() {
  DeviceRoot::setRoot(previousRoot_);
  KVPlatform::resetCaches();
}

std::string TemporaryDeviceRoot::launcherPath() const { return hostPath(DeviceRoot::kLauncherPath); }

TemporaryDeviceRoot::Run TemporaryDeviceRoot::runInRoot(const std::string& innerCommand) const {
  return Process::run(launcherPath(), {innerCommand});
}

std::string TemporaryDeviceRoot::dpkgQuery(const std::string& field, const std::string& identifier) const {
  // The admin folder is named outright too, so even a broken launcher can't make this
  // read the host's database.
  std::string quoted = "'";
  for (char c : identifier) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  quoted += "'";
  Run run = runInRoot("dpkg-query --admindir='" + hostPath("/var/lib/dpkg") + "' -W -f='${" + field + "}' " +
                      quoted + " 2>/dev/null");
  return run.status == 0 ? run.output : std::string();
}

std::string TemporaryDeviceRoot::packageStatus(const std::string& identifier) const {
  return dpkgQuery("Status", identifier);
}

std::string TemporaryDeviceRoot::packageVersion(const std::string& identifier) const {
  return dpkgQuery("Version", identifier);
}
