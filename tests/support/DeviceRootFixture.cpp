#include "support/DeviceRootFixture.h"

#include <stdexcept>

#include "core/KVPlatform.h"
#include "foundation/Files.h"
#include "operations/KVAPTManager.h"
#include "support/DebBuilder.h"
#include "support/TestHttpServer.h"
#include "support/TypedLocation.h"
#include "system/DeviceRoot.h"
#include "system/Process.h"

TemporaryDeviceRoot::TemporaryDeviceRoot(Options options) : path_(dir_.path() + "/device") {
  std::string error;
  if (!DeviceRootBuilder::build(path_, options.facts, &error) ||
      !DeviceRootBuilder::installLauncher(path_, options.launcher, &error))
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

ExampleToolRepository serveExampleToolRepository(const std::string& folder, TestHttpServer& server) {
  DebBuilder debs(folder);
  ExampleToolRepository repository;
  debs.build(DebPackage("com.example.lib", "1.0").file("/usr/lib/libexample.txt", "lib 1\n"), "lib-1.deb");
  debs.build(DebPackage("com.example.tool", "1.0").field("Depends", "com.example.lib (>= 1.0)")
                 .file("/usr/bin/example-tool", "tool 1\n"),
             "tool-1.deb");
  repository.toolTwoArchive = debs.build(DebPackage("com.example.tool", "1:2.0-1")
                                             .field("Depends", "com.example.lib (>= 1.0)")
                                             .file("/usr/bin/example-tool", "tool 2\n"),
                                         "tool-2.deb");
  EXPECT_TRUE(DebBuilder::writeFlatRepository(folder, {"lib-1.deb", "tool-1.deb", "tool-2.deb"}));
  server.serveFolder(folder, "/repo/");
  repository.location = server.url("/repo/");
  EXPECT_EQ(KVAPTManager::writeReleaseContents(Files::readText(folder + "/Release").value_or(""), typedLocation(repository.location)), nullptr);
  EXPECT_EQ(KVAPTManager::writePackagesContents(Files::readText(folder + "/Packages").value_or(""), typedLocation(repository.location)), nullptr);
  return repository;
}
