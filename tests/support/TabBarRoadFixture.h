#pragma once
// Real refreshes with the application's tab bar of "Main" on screen: the floating card
// and the task screens follow them. Repositories can hold their Release back until
// `release` arrives, so a test sees the refreshes while they run.
#include <memory>
#include <string>
#include <vector>

#include "interface/KVTabBarController.h"
#include "support/Latch.h"
#include "support/SourceRefreshFixture.h"
#include "support/UIDriver.h"
#include "uikit/UIStoryboard.h"

class TabBarRoadFixture : public SourceRefreshFixture {
 protected:
  void SetUp() override {
    SourceRefreshFixture::SetUp();
    tabs = std::dynamic_pointer_cast<KVTabBarController>(
        UIStoryboard::storyboardWithName("Main")->instantiateViewControllerWithIdentifier("TabBarVC"));
    ASSERT_NE(tabs, nullptr);
    ui.show(tabs);
  }
  void TearDown() override {
    release.arrive();
    waitForPipeline();
    ui.window().setRootViewController(nullptr);
    tabs.reset();
    RunLoop::main().runUntilIdle();
    SourceRefreshFixture::TearDown();
  }

  // Repositories whose Release is held back until `release` arrives, with their records.
  std::vector<std::string> heldRepositories(const std::vector<std::string>& folders) {
    std::vector<std::string> locations;
    for (const auto& folder : folders) {
      locations.push_back(serveIndex(folder, stanza("com.example." + folder, "1.0")));
      std::string releasePath = repositories.file(folder) + "/Release";
      server.handle("GET", "/" + folder + "/Release", [this, releasePath](const TestHttpRequest&) {
        release.wait(30);
        return TestHttpResponse::text(Files::readText(releasePath).value_or(""));
      });
      addSourceRecord(locations.back());
    }
    return locations;
  }

  UIDriver ui;  // made before the device root, so the root is the fixture's
  std::shared_ptr<KVTabBarController> tabs;
  Latch release;
};
