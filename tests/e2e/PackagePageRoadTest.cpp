// From a package's page to the device: GET queues the package through the application
// delegate, the button reads QUEUED, the confirmed queue is installed by the real apt-get
// and dpkg, and the same page then offers UNINSTALL.
#include <gtest/gtest.h>

#include "InstallRoadFixture.h"
#include "package/PackageDetailsViewController.h"
#include "support/UIDriver.h"
#include "uikit/UIButton.h"
#include "uikit/UINavigationController.h"

namespace {

class PackagePageRoad : public InstallRoadFixture {
 protected:
  UIDriver ui;
};

TEST_F(PackagePageRoad, GetQueuesThePackageAndTheInstallRoadEndsInUninstall) {
  std::string location = locationOf("road");
  DebBuilder debs(repositories.file("road"));
  debs.build(DebPackage("com.example.lib", "1.0").field("Name", "Example Library").file("/usr/lib/lib.txt", "lib\n"),
             "lib.deb");
  debs.build(DebPackage("com.example.tool", "1.0")
                 .field("Name", "Example Tool")
                 .field("Depends", "com.example.lib")
                 .file("/usr/bin/example-tool", "tool\n"),
             "tool.deb");
  ASSERT_TRUE(DebBuilder::writeFlatRepository(repositories.file("road"), {"lib.deb", "tool.deb"}));
  ASSERT_TRUE(refresh(location));

  auto page = std::make_shared<PackageDetailsViewController>(screenContext(), "com.example.tool");
  ui.show(std::make_shared<UINavigationController>(page));
  auto title = [&] { return page->outlets().getBtn->currentTitle(); };
  EXPECT_EQ(title(), "GET");
  ASSERT_TRUE(ui.tap("GET")) << ui.screen();
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return title() == "QUEUED"; }, 10)) << title();
  EXPECT_EQ(package("com.example.tool")->isInTheQueue(), true);

  confirm();
  auto end = aptEnd();
  ASSERT_TRUE(end && end->userInfo["success"].asBool());
  EXPECT_EQ(deviceRoot().packageStatus("com.example.tool"), "install ok installed");
  EXPECT_EQ(deviceRoot().packageStatus("com.example.lib"), "install ok installed");
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return title() == "UNINSTALL"; }, 30)) << title();
}

}  // namespace
