#include <gtest/gtest.h>

#include "app/ApplicationServices.h"
#include "core/KVPipelineManager.h"
#include "interface/ErrorViewController.h"
#include "support/UIDriver.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIViewController.h"

namespace {
// The pipeline's after-install question arrives as an alert card on the top screen, and
// its button runs the reboot through the launcher inside the device root.
TEST(PostInstallAlertTest, RebootQuestionIsACardWhoseButtonRunsTheReboot) {
  UIDriver ui;
  auto home = std::make_shared<UIViewController>();
  home->setTitle("Home");
  ui.show(std::make_shared<UINavigationController>(home));
  wireApplicationServices();
  auto& services = KVPipelineManager::sharedManager().services();
  std::vector<std::string> commands;
  services.runCommand = [&](const std::string& line) { commands.push_back(line); };

  bool rebooted = false;
  services.presentPostInstallAlert("Post Install Action", "Do you want to reboot now or later?", "Later",
                                   "Reboot now", [&] { rebooted = true; });
  ui.runUntilIdle();
  EXPECT_TRUE(ui.screenShows("Do you want to reboot now or later?"));
  EXPECT_NE(dynamic_cast<ErrorViewController*>(ui.front()), nullptr);
  EXPECT_TRUE(ui.tap("Reboot now"));
  ui.advance(1);
  EXPECT_TRUE(rebooted);
  EXPECT_EQ(dynamic_cast<ErrorViewController*>(ui.front()), nullptr);
  services = KVPipelineServices{};
}
}  // namespace
