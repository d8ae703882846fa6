// The pipeline's reboot and respring commands as they run in production (the
// application's environment, the real launcher and the device-root builder's stand-ins): they
// reach only the device root's stand-ins, never the host's tools.
#include <gtest/gtest.h>

#include "app/ApplicationEnvironment.h"
#include "core/KVPipelineManager.h"
#include "foundation/Files.h"
#include "support/DeviceRootFixture.h"
#include "support/TestRoot.h"
#include "system/DeviceRoot.h"
#include "system/Process.h"

namespace {
class DeviceToolsRoad : public DeviceRootFixture {
 protected:
  // Everything that has to hold before a reboot command may run at all. Checked with
  // ASSERT in the test itself, so a failure stops it before the command.
  bool isStandIn(const std::string& devicePath) {
    std::string host = DeviceRoot::devicePath(devicePath);
    return host == rootPath() + devicePath &&
           Files::readText(host).value_or("").find("Stand-in for the device's " + devicePath) != std::string::npos;
  }
  TestRoot root_{applicationEnvironment()};
};
}  // namespace

TEST_F(DeviceToolsRoad, TheRebootCommandRunsOnlyTheRootsStandIn) {
  // The root is a temporary folder whose reboot is the stand-in, and the launcher the
  // command names is the one built here, installed inside that root.
  ASSERT_NE(rootPath(), "/");
  ASSERT_EQ(DeviceRoot::root(), rootPath());
  ASSERT_TRUE(isStandIn("/sbin/reboot"));
  const std::string launcher = DeviceRoot::devicePath("/usr/libexec/dedev");
  ASSERT_EQ(launcher, rootPath() + "/usr/libexec/dedev");
  ASSERT_EQ(Files::read(launcher), Files::read(QB_BINARY_DIR "/platform/launcher/dedev"));

  // That launcher refuses the host's reboot. The command exits before it would reach
  // the tool, so even a launcher that failed to refuse could not reboot anything.
  for (const std::string command : {"exit 0; /sbin/reboot", "false && reboot", "exit 0; /sbin/reboot -f"}) {
    Process::Outcome refused = Process::run(launcher, {command});
    ASSERT_EQ(refused.status, 126) << command << ": " << refused.output;
    ASSERT_NE(refused.output.find("refusing to run the host's"), std::string::npos) << refused.output;
  }
  ASSERT_TRUE(deviceRoot().standInCalls().empty());

  KVPipelineManager::sharedManager().launchRebootCommand();
  EXPECT_EQ(deviceRoot().standInCalls(), std::vector<std::string>{"/sbin/reboot"});
}

TEST_F(DeviceToolsRoad, TheRespringCommandRunsTheRootsStandIns) {
  ASSERT_EQ(DeviceRoot::root(), rootPath());
  ASSERT_TRUE(isStandIn("/usr/bin/sbreload"));
  ASSERT_TRUE(isStandIn("/usr/bin/killall"));

  KVPipelineManager::sharedManager().launchRespringCommand();
  // Without sbreload the home screen's process is stopped by name.
  ASSERT_TRUE(Files::removeItem(DeviceRoot::devicePath("/usr/bin/sbreload")));
  KVPipelineManager::sharedManager().launchRespringCommand();
  EXPECT_EQ(deviceRoot().standInCalls(), (std::vector<std::string>{"/usr/bin/sbreload", "/usr/bin/killall SpringBoard"}));
}
