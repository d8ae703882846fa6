// One application per device root: a second one is refused with the first one's
// process number, and the lock goes with its holder, even one killed outright.
#include <gtest/gtest.h>

#include <signal.h>

#include "ApplicationProcess.h"
#include "PseudoTerminal.h"
#include "app/DeviceRootLock.h"
#include "foundation/Files.h"
#include "support/ScopedDeviceRoot.h"
#include "support/TempDir.h"

namespace {
TEST(DeviceRootLockTest, ASecondApplicationIsRefusedUntilTheFirstIsKilled) {
  TempDir dir;
  std::string root = dir.file("device");
  auto first = std::make_unique<PseudoTerminal>(ApplicationProcess::kPath, std::vector<std::string>{"--device-root", root});
  ASSERT_TRUE(first->started());
  ASSERT_TRUE(first->waitFor("> ")) << first->output();

  auto second = ApplicationProcess::runScript(root + "/", "quit\n");
  EXPECT_EQ(second.status, 1) << second.output;
  EXPECT_NE(second.output.find("the device root " + root + " is in use by another Quillbark (process " +
                               std::to_string(first->pid()) + ")"),
            std::string::npos)
      << second.output;

  ASSERT_EQ(kill(first->pid(), SIGKILL), 0);
  EXPECT_EQ(first->waitForExit(), 128 + SIGKILL);
  first.reset();
  auto third = ApplicationProcess::runScript(root, "quit\n");
  EXPECT_EQ(third.status, 0) << "a killed holder leaves no lock behind: " << third.output;
}

TEST(DeviceRootLockTest, TheLockIsHeldForTheObjectsLifeOnly) {
  ScopedDeviceRoot root;
  std::string error;
  {
    auto lock = DeviceRootLock::acquire(&error);
    ASSERT_TRUE(lock) << error;
    EXPECT_EQ(Files::readText(DeviceRootLock::lockPath()), std::to_string(getpid()) + "\n");
    // A second open of the file in this process is a second holder, and is refused.
    EXPECT_FALSE(DeviceRootLock::acquire(&error));
    EXPECT_NE(error.find("(process " + std::to_string(getpid()) + ")"), std::string::npos) << error;
  }
  EXPECT_TRUE(DeviceRootLock::acquire(&error)) << error;
}
}  // namespace
