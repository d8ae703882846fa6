#include <gtest/gtest.h>

#include "app/ApplicationEnvironment.h"
#include "core/KVPipelineManager.h"
#include "interface/ErrorViewController.h"
#include "support/TestRoot.h"
#include "support/UIDriver.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIViewController.h"

namespace {
// The pipeline's after-install question arrives as an alert card on the top screen, and
// its button runs what the pipeline asked for.
TEST(PostInstallAlertTest, RebootQuestionIsACardWhoseButtonRunsTheReboot) {
  UIDriver ui;
  auto home = std::make_shared<UIViewController>();
  home->setTitle("Home");
  ui.show(std::make_shared<UINavigationController>(home));
  KVEnvironment environment = applicationEnvironment();
  TestRoot root(environment);

  bool rebooted = false;
  environment.presentAlertCard({"Post Install Action", "Do you want to reboot now or later?", "Later", "Reboot now",
                                [&] { rebooted = true; }});
  ui.runUntilIdle();
  EXPECT_TRUE(ui.screenShows("Do you want to reboot now or later?"));
  EXPECT_NE(dynamic_cast<ErrorViewController*>(ui.front()), nullptr);
  EXPECT_TRUE(ui.tap("Reboot now"));
  ui.advance(1);
  EXPECT_TRUE(rebooted);
  EXPECT_EQ(dynamic_cast<ErrorViewController*>(ui.front()), nullptr);
}
}  // namespace
