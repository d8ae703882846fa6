// The queue confirmation screen over a repository on 127.0.0.1 and the real apt-get and
// dpkg in a device root: its sections from the dry run, Confirm that starts only the
// queue that dry run resolved, unqueueing by swipe, and the rebuild held back while the
// list is dragged.
#include <gtest/gtest.h>

#include "database/KVRPackages.h"
#include "operations/KVAPTManager.h"
#include "operations/PackagesConfirmationViewController.h"
#include "support/DebBuilder.h"
#include "support/SourceRefreshFixture.h"
#include "uikit/UIButton.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIWindow.h"

namespace {

using Ids = std::vector<std::string>;

class ConfirmationScreenTest : public SourceRefreshFixture {
 protected:
  std::unique_ptr<TestRoot> makeRoot() override { return std::make_unique<TestRoot>(TestRoot::WithManagers{}); }

  void SetUp() override {
    SourceRefreshFixture::SetUp();
    ASSERT_EQ(KVAPTManager::createAPTSandboxIfNeeded(), nullptr);
    location = locationOf("repo");
    DebBuilder debs(repositories.file("repo"));
    debs.build(DebPackage("com.example.lib", "1.0").field("Name", "Example Library"), "lib.deb");
    debs.build(DebPackage("com.example.tool", "1.0").field("Name", "Example Tool").field("Depends", "com.example.lib"),
               "tool.deb");
    debs.build(DebPackage("com.example.extra", "1.0").field("Name", "Extra"), "extra.deb");
    debs.build(DebPackage("com.example.broken", "1.0").field("Name", "Broken").field("Depends", "com.example.missing"),
               "broken.deb");
    ASSERT_TRUE(DebBuilder::writeFlatRepository(repositories.file("repo"), {"lib.deb", "tool.deb", "extra.deb", "broken.deb"}));
    ASSERT_TRUE(refresh(location));
    window = std::make_shared<UIWindow>();
    window->setRootViewController(std::make_shared<UIViewController>());
    window->makeKeyAndVisible();
  }
  void TearDown() override {
    screen.reset();
    window->setRootViewController(nullptr);
    RunLoop::main().runUntilIdle();
    window.reset();
    SourceRefreshFixture::TearDown();
  }

  void queue(const std::string& identifier) {
    ASSERT_EQ(root->packagesManager->setPackage(identifier, true, std::nullopt, 0), nullptr);
  }
  // Presents the screen as the floating card does and waits for its dry run.
  void open() {
    screen = std::make_shared<PackagesConfirmationViewController>(screenContext());
    window->rootViewController()->presentViewController(std::make_shared<UINavigationController>(screen), false);
    RunLoop::main().runUntilIdle();
    ASSERT_TRUE(waitForDryRun());
  }
  bool waitForDryRun() {
    return RunLoop::main().runUntil([&] { return screen->confirmBtn()->isEnabled(); }, 60);
  }
  Ids section(long s) {
    Ids ids;
    for (size_t row = 0; row < screen->countOfItemsInSection(s); ++row)
      ids.push_back(screen->packageForIndexPath({s, static_cast<long>(row)})->identifier());
    return ids;
  }
  void swipeDelete(long s, long row) {
    screen->tableViewCommitEditingStyle(*screen->packagesConfirmationTableView(), UITableViewCellEditingStyleDelete,
                                        {s, row});
  }

  std::string location;
  std::shared_ptr<UIWindow> window;
  std::shared_ptr<PackagesConfirmationViewController> screen;
};

TEST_F(ConfirmationScreenTest, TheDryRunFillsTheSectionsAndConfirmInstallsWhatItResolved) {
  queue("com.example.tool");
  queue("com.example.broken");
  open();
  EXPECT_EQ(section(PackagesConfirmationViewController::QueuedSection), Ids{"com.example.tool"});
  EXPECT_EQ(section(PackagesConfirmationViewController::IncompatibleSection), Ids{"com.example.broken"});
  EXPECT_TRUE(section(PackagesConfirmationViewController::RequiredSection).empty())
      << "APT resolves nothing while a queued package cannot be had";
  auto& table = *screen->packagesConfirmationTableView();
  EXPECT_EQ(screen->tableViewHeightForFooterInSection(table, 2), 75);
  EXPECT_EQ(screen->tableViewTitleForHeaderInSection(table, 1), "");

  // The incompatible package goes; the rest is resolved again before Confirm comes back.
  swipeDelete(PackagesConfirmationViewController::IncompatibleSection, 0);
  EXPECT_FALSE(screen->confirmBtn()->isEnabled());
  EXPECT_NE(window->screenText().find("[Confirm] (disabled: waiting for APT's dry run of the queue)"), std::string::npos)
      << "a dimmed Confirm says what it waits for: " << window->screenText();
  EXPECT_FALSE(package("com.example.broken")->isInTheQueue().value_or(false));
  ASSERT_TRUE(waitForDryRun());
  EXPECT_TRUE(section(PackagesConfirmationViewController::IncompatibleSection).empty());
  EXPECT_EQ(section(PackagesConfirmationViewController::RequiredSection), Ids{"com.example.lib"});
  EXPECT_EQ(screen->tableViewTitleForHeaderInSection(table, 1), "Other Packages");
  EXPECT_EQ(screen->tableViewEditingStyleForRowAtIndexPath(table, {1, 0}), UITableViewCellEditingStyleNone);
  EXPECT_EQ(screen->tableViewHeightForFooterInSection(table, 2), 0.001);

  screen->confirmQueue();
  RunLoop::main().runUntilIdle();
  ASSERT_TRUE(waitForPipeline(120));
  EXPECT_EQ(deviceRoot().packageStatus("com.example.tool"), "install ok installed");
  EXPECT_EQ(deviceRoot().packageStatus("com.example.lib"), "install ok installed");
  EXPECT_TRUE(deviceRoot().packageStatus("com.example.broken").empty());
  EXPECT_EQ(KVRPackage::objectsWhere("isInTheQueue = 1").count(), 0u);
}

TEST_F(ConfirmationScreenTest, ASwipedPackageIsNeverInstalledByAConfirmRightAfter) {
  queue("com.example.tool");
  queue("com.example.extra");
  open();
  ASSERT_EQ(section(0), (Ids{"com.example.tool", "com.example.extra"})) << "by name";

  swipeDelete(PackagesConfirmationViewController::QueuedSection, 1);
  EXPECT_FALSE(screen->confirmBtn()->isEnabled()) << "the queue changed: the last dry run no longer holds";
  screen->confirmQueue();  // at once: nothing starts
  RunLoop::main().runUntilIdle();
  EXPECT_TRUE(KVPipelineManager::sharedManager().tasksArray().empty());
  EXPECT_TRUE(screen->presentingViewController()) << "still shown";

  ASSERT_TRUE(waitForDryRun());
  EXPECT_EQ(screen->resolvedQueue(), "com.example.tool");
  screen->confirmQueue();
  RunLoop::main().runUntilIdle();
  ASSERT_TRUE(waitForPipeline(120));
  EXPECT_EQ(deviceRoot().packageStatus("com.example.tool"), "install ok installed");
  EXPECT_TRUE(deviceRoot().packageStatus("com.example.extra").empty());
}

TEST_F(ConfirmationScreenTest, RemovingTheLastQueuedPackageQueuesItsDependencies) {
  queue("com.example.tool");
  open();
  swipeDelete(PackagesConfirmationViewController::QueuedSection, 0);
  EXPECT_EQ(section(0), Ids{"com.example.lib"});
  EXPECT_TRUE(section(1).empty());
  EXPECT_TRUE(package("com.example.lib")->isInTheQueue().value_or(false));
  EXPECT_FALSE(package("com.example.tool")->isInTheQueue().value_or(false));
  ASSERT_TRUE(waitForDryRun());
  EXPECT_EQ(screen->resolvedQueue(), "com.example.lib");

  swipeDelete(PackagesConfirmationViewController::QueuedSection, 0);
  RunLoop::main().runUntilIdle();
  EXPECT_FALSE(screen->presentingViewController()) << "the last row gone, the screen goes";
}

TEST_F(ConfirmationScreenTest, ADragReleasedWithoutMomentumLetsTheOwedRebuildRun) {
  queue("com.example.tool");
  open();
  auto& table = *screen->packagesConfirmationTableView();
  screen->scrollViewWillBeginDragging(table);
  queue("com.example.extra");
  NotificationCenter::defaultCenter().post(KVRSourceUpdatedNotification, Value(location));
  RunLoop::main().runUntilIdle();
  EXPECT_TRUE(screen->needCacheRebuild()) << "held back while the user drags";
  EXPECT_EQ(section(0), Ids{"com.example.tool"});

  screen->scrollViewDidEndDragging(table, false);
  EXPECT_FALSE(screen->isScrolling());
  EXPECT_FALSE(screen->needCacheRebuild());
  ASSERT_TRUE(waitForDryRun());
  EXPECT_EQ(section(0), (Ids{"com.example.tool", "com.example.extra"}));
}

}  // namespace

namespace {

TEST_F(ConfirmationScreenTest, WhileSourcesRefreshConfirmWaitsAndSaysForHowMany) {
  queue("com.example.tool");
  open();
  TestHttpResponse slow = TestHttpResponse::text("Origin: Slow\n");
  slow.delay = std::chrono::milliseconds(1500);
  server.respond("/slow/Release", slow);
  std::string slowLocation = locationOf("slow");
  addSourceRecord(slowLocation);
  manager().refreshSource(slowLocation);
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return !screen->confirmBtn()->isEnabled(); }, 20));
  EXPECT_EQ(screen->confirmBtn()->titleForState(UIControlStateNormal), "Waiting On (1) Tasks");
  EXPECT_EQ(screen->confirmBtn()->accessibilityValue(), "waiting for the source refreshes to end");
  EXPECT_EQ(screen->confirmBtn()->alpha(), 0.5);
  screen->confirmQueue();
  ASSERT_TRUE(waitForPipeline(60));
  EXPECT_TRUE(deviceRoot().packageStatus("com.example.tool").empty()) << "a confirm while tasks run does nothing";
  ASSERT_TRUE(waitForDryRun()) << "the refresh's end rebuilds the list";
  EXPECT_EQ(screen->confirmBtn()->titleForState(UIControlStateNormal), "Confirm");
}

}  // namespace
