// What a package leaves in the device root never keeps the application from starting:
// the mobile user's folder turned into a link out of the root is a folder again, with
// nothing written through the link, and a damaged device description is replaced, with
// a card saying so.
#include <gtest/gtest.h>
#include <unistd.h>

#include "ApplicationProcess.h"
#include "foundation/Files.h"
#include "foundation/Value.h"
#include "support/TempDir.h"

namespace {
TEST(StartAndQuitTest, AMobileFolderLinkedOutAndADamagedDescriptionAreRepairedAtStart) {
  TempDir dir, outside;
  const std::string device = dir.file("device");
  ASSERT_NO_FATAL_FAILURE(ApplicationProcess::makeDeviceRootAfterFirstRun(device));
  ASSERT_TRUE(Files::removeItem(device + "/var/mobile"));
  ASSERT_EQ(::symlink(outside.path().c_str(), (device + "/var/mobile").c_str()), 0);
  ASSERT_TRUE(Files::writeAtomically(device + "/etc/quillbark/device.json",
                                     Value::dict({{"model", "iPhone" + std::string(100000, 'x') + "10,3"}}).toJSON()));

  auto started = ApplicationProcess::runScript(device, "screen\nquit\n");
  EXPECT_EQ(started.status, 0) << started.output.substr(0, 2000);
  EXPECT_NE(started.output.find("repaired the device folder: /var/mobile was a link to " + outside.path()),
            std::string::npos)
      << started.output.substr(0, 2000);
  EXPECT_NE(started.output.find("Device Description Replaced\nThe device description (/etc/quillbark/device.json) "
                                "was damaged"),
            std::string::npos)
      << started.output.substr(0, 2000);
  EXPECT_TRUE(Files::contentsOfDirectory(outside.path()).empty()) << "nothing was written through the link";
  EXPECT_TRUE(Files::isDirectory(device + "/var/mobile/Library/Application Support/Quillbark"));
  EXPECT_NE(Files::readText(device + "/etc/quillbark/device.json").value_or("").find("\"model\": \"iPhone10,3\""),
            std::string::npos);
}
}  // namespace
