#pragma once
// A temporary device root for one test, made by the application's own builder (nothing
// a user's root lacks): made the current root with DeviceRoot::setRoot, and removed with
// everything in it afterwards, the previous root restored.
//
//   class MyTest : public DeviceRootFixture {};
//   TEST_F(MyTest, Installs) { ... deviceRoot().packageStatus("com.example.tool") ... }
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "system/DeviceRootBuilder.h"
#include "system/Process.h"

class TemporaryDeviceRoot {
 public:
  struct Options {
    DeviceFacts facts;
    std::string launcher = QB_BINARY_DIR "/platform/launcher/dedev";
  };

  TemporaryDeviceRoot() : TemporaryDeviceRoot(Options()) {}
  explicit TemporaryDeviceRoot(Options options);
  ~TemporaryDeviceRoot();
  TemporaryDeviceRoot(const TemporaryDeviceRoot&) = delete;
  TemporaryDeviceRoot& operator=(const TemporaryDeviceRoot&) = delete;

  const std::string& path() const { return path_; }
  // A device path inside this root.
  std::string hostPath(const std::string& devicePath) const { return path_ + devicePath; }
  std::string launcherPath() const;

  using Run = Process::Outcome;  // standard output and error together, and the status
  // Runs `innerCommand` through the root's own launcher, so APT and dpkg work on the
  // root. Never reaches the host's tools' state.
  Run runInRoot(const std::string& innerCommand) const;
  // dpkg-query's "${Status}" for a package of the root ("install ok installed",
  // "hold ok installed", ...); empty when dpkg doesn't know it.
  std::string packageStatus(const std::string& identifier) const;
  std::string packageVersion(const std::string& identifier) const;
  // What the device-tool stand-ins recorded, one call a line.
  std::vector<std::string> standInCalls() const { return DeviceRootBuilder::standInCalls(path_); }

 private:
  std::string dpkgQuery(const std::string& field, const std::string& identifier) const;

  TempDir dir_;
  std::string path_;
  std::string previousRoot_;
};

class TestHttpServer;

class DeviceRootFixture : public ::testing::Test {
 protected:
  // Override to build the root differently (other device facts).
  virtual TemporaryDeviceRoot::Options deviceRootOptions() const { return {}; }
  void SetUp() override { root_ = std::make_unique<TemporaryDeviceRoot>(deviceRootOptions()); }
  void TearDown() override { root_.reset(); }

  TemporaryDeviceRoot& deviceRoot() { return *root_; }
  const std::string& rootPath() const { return root_->path(); }

 private:
  std::unique_ptr<TemporaryDeviceRoot> root_;
};

// A flat repository built into `folder` and served by `server` at "/repo/": a library
// com.example.lib 1.0 ("lib-1.deb", installing /usr/lib/libexample.txt) and a tool
// com.example.tool that needs it, in 1.0 ("tool-1.deb") and 1:2.0-1 ("tool-2.deb"),
// each installing /usr/bin/example-tool with the text "tool 1\n" or "tool 2\n". Its
// Release and Packages are written into the current root's APT lists through the APT
// layer, as a refresh writes them, so nothing is fetched until a package is.
struct ExampleToolRepository {
  std::string location;  // the repository's location, ending in "/"
  std::string toolTwoArchive;  // the path of "tool-2.deb" in `folder`
};
ExampleToolRepository serveExampleToolRepository(const std::string& folder, TestHttpServer& server);
