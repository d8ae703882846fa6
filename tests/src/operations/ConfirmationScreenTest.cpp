// The queue confirmation screen over a repository on 127.0.0.1 and the real apt-get and
// dpkg in a device root: its sections from the dry run, Confirm that starts only the
// queue that dry run resolved, unqueueing by swipe, and the rebuild held back while the
// list is dragged.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

#include "database/KVRPackages.h"
#include "operations/KVAPTManager.h"
#include "operations/PackagesConfirmationViewController.h"
#include "support/DebBuilder.h"
#include "support/SourceRefreshFixture.h"
#include "support/TestData.h"
#include "system/DeviceRootBuilder.h"
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
    debs.build(DebPackage("com.example.rival", "1.0").field("Name", "Rival").field("Conflicts", "com.example.tool"),
               "rival.deb");
    debs.build(DebPackage("com.example.modern", "1.0").field("Name", "Modern").field("Depends", "firmware (>= 12.0)"),
               "modern.deb");
    ASSERT_TRUE(DebBuilder::writeFlatRepository(repositories.file("repo"), {"lib.deb", "tool.deb", "extra.deb", "broken.deb",
                                                                            "rival.deb", "modern.deb"}));
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

  void queue(const std::string& identifier, int64_t operation = 0) {
    ASSERT_EQ(root->packagesManager->setPackage(identifier, true, std::nullopt, operation), nullptr);
  }
  void unqueue(const std::string& identifier) {
    ASSERT_EQ(root->packagesManager->setPackage(identifier, false, std::nullopt, 0), nullptr);
  }
  // The queue changed under the open screen: rebuilt, and the dry run waited for.
  void requeue() {
    screen->refreshQueue();
    ASSERT_TRUE(waitForDryRun());
  }
  // The screen's row of a package as the terminal prints it.
  std::string row(const std::string& name) {
    std::string text = window->screenText();
    size_t at = text.find(": " + name + "\n");
    return at == std::string::npos ? text : text.substr(at, text.find('\n', at + name.size() + 3) - at);
  }
  // Presents the screen as the floating card does and waits for its dry run.
  void open() {
    screen = std::make_shared<PackagesConfirmationViewController>(screenContext());
    window->rootViewController()->presentViewController(std::make_shared<UINavigationController>(screen), false);
    RunLoop::main().runUntilIdle();
    ASSERT_TRUE(waitForDryRun());
  }
  bool waitForDryRun() {
    return RunLoop::main().runUntil([&] { return !screen->isResolving(); }, 60);
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
  // Why, in APT's words shortened; Confirm stays off.
  EXPECT_EQ(screen->problems(), Ids{"com.example.broken needs com.example.missing, which no source offers"});
  EXPECT_NE(screen->tableViewTitleForFooterInSection(table, 2).value_or("").find(screen->problems()[0]),
            std::string::npos);
  EXPECT_FALSE(screen->confirmBtn()->isEnabled());

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
  EXPECT_EQ(screen->confirmBtn()->titleForState(UIControlStateNormal), "Waiting On (1) Task");
  EXPECT_EQ(screen->confirmBtn()->accessibilityValue(), "waiting for the source refreshes to end");
  EXPECT_EQ(screen->confirmBtn()->alpha(), 0.5);
  screen->confirmQueue();
  ASSERT_TRUE(waitForPipeline(60));
  EXPECT_TRUE(deviceRoot().packageStatus("com.example.tool").empty()) << "a confirm while tasks run does nothing";
  ASSERT_TRUE(waitForDryRun()) << "the refresh's end rebuilds the list";
  EXPECT_EQ(screen->confirmBtn()->titleForState(UIControlStateNormal), "Confirm");
}

}  // namespace

namespace {

// Installed: the library and the tool at 0.9, from archives of the device's own.
TEST_F(ConfirmationScreenTest, EveryChangeOfTheRunShowsUnderItsKindBeforeConfirm) {
  const std::string documents = deviceRoot().hostPath("/var/mobile/Documents");
  DebBuilder(documents).build(DebPackage("com.example.tool", "0.9").field("Depends", "com.example.lib"));
  ASSERT_TRUE(Files::copyItem(repositories.file("repo/lib.deb"), documents + "/lib.deb"));
  auto installed = deviceRoot().runInRoot("dpkg -i " + documents + "/*.deb");
  ASSERT_EQ(installed.status, 0) << installed.output;
  // A conflict removes the installed tool: shown as a removal, not as installed.
  queue("com.example.rival");
  open();
  EXPECT_EQ(section(PackagesConfirmationViewController::RemovedSection), Ids{"com.example.tool"});
  EXPECT_TRUE(section(PackagesConfirmationViewController::RequiredSection).empty());
  EXPECT_NE(window->screenText().find("-- Packages That Will Be Removed --"), std::string::npos) << window->screenText();
  EXPECT_NE(row("Example Tool").find("0.9"), std::string::npos) << row("Example Tool");
  EXPECT_NE(row("Example Tool").find("(uninstall)"), std::string::npos) << row("Example Tool");
  EXPECT_TRUE(screen->confirmBtn()->isEnabled());

  // Removing the library removes the tool that depends on it.
  unqueue("com.example.rival");
  queue("com.example.lib", 2);
  requeue();
  EXPECT_EQ(section(PackagesConfirmationViewController::QueuedSection), Ids{"com.example.lib"});
  EXPECT_EQ(section(PackagesConfirmationViewController::RemovedSection), Ids{"com.example.tool"});
  EXPECT_NE(row("Example Library").find("(uninstall)"), std::string::npos) << row("Example Library");

  // An upgrade shows the version it goes to.
  unqueue("com.example.lib");
  queue("com.example.tool", 3);
  requeue();
  EXPECT_NE(row("Example Tool").find("0.9 \u2192 1.0"), std::string::npos) << row("Example Tool");
  EXPECT_NE(row("Example Tool").find("(upgrade)"), std::string::npos) << row("Example Tool");

  // Two queued packages that conflict with each other: nothing can be confirmed, and why.
  queue("com.example.rival");
  requeue();
  EXPECT_EQ(screen->problems(), Ids{"com.example.rival conflicts with com.example.tool"});
  EXPECT_FALSE(screen->confirmBtn()->isEnabled());
  EXPECT_NE(window->screenText().find("com.example.rival conflicts with com.example.tool"), std::string::npos)
      << window->screenText();
  screen->confirmQueue();
  RunLoop::main().runUntilIdle();
  EXPECT_TRUE(KVPipelineManager::sharedManager().tasksArray().empty());
}

// "firmware (>= 12.0)" resolves against the device's system version, and follows a change of it.
TEST_F(ConfirmationScreenTest, AFirmwareDependencyIsRefusedOnAnOlderSystemWithItsReason) {
  ASSERT_TRUE(DeviceRootBuilder::setSystemVersion(rootPath(), "11.0"));
  queue("com.example.modern");
  open();
  EXPECT_EQ(screen->problems(), Ids{"com.example.modern needs firmware (>= 12.0); the device has 11.0"});
  EXPECT_FALSE(screen->confirmBtn()->isEnabled());

  ASSERT_TRUE(DeviceRootBuilder::setSystemVersion(rootPath(), "14.4"));
  requeue();
  EXPECT_TRUE(screen->problems().empty());
  ASSERT_TRUE(screen->confirmBtn()->isEnabled());
  screen->confirmQueue();
  RunLoop::main().runUntilIdle();
  ASSERT_TRUE(waitForPipeline(120));
  EXPECT_EQ(deviceRoot().packageStatus("com.example.modern"), "install ok installed");
}

}  // namespace

namespace {

// Real packages nobody here wrote, with firmware limits both ways: archives are built
// from their index fields (the test data holds no archives) and served as a repository.
TEST_F(ConfirmationScreenTest, RealPackagesWithFirmwareLimitsInstallThroughTheScreen) {
  QB_TESTDATA_OR_SKIP(index, "repos/poomsmart/repo/Packages");
  // "firmware (<< 17.0)", "(>= 13.0)" and "(>= 6.0)" on the device's 14.4.
  const Ids wanted = {"com.ps.emojiport10resources-assets16", "com.ps.sfsymbolsassets", "org.thebigboss.dismissprogress"};
  std::istringstream in(Files::readText(index).value_or(""));
  std::vector<DebPackage> packages;
  std::vector<std::pair<std::string, std::string>> fields;
  auto finish = [&] {
    std::map<std::string, std::string> f(fields.begin(), fields.end());
    if (std::count(wanted.begin(), wanted.end(), f["Package"]) && f["Architecture"] == "iphoneos-arm" &&
        std::none_of(packages.begin(), packages.end(), [&](const DebPackage& p) { return p.identifier == f["Package"]; })) {
      DebPackage package(f["Package"], f["Version"]);
      for (const auto& [key, value] : fields)
        if (!std::set<std::string>{"Package", "Version", "Architecture", "Maintainer", "Filename", "Size", "MD5sum",
                                   "SHA1", "SHA256", "SHA512"}.count(key))
          package.field(key, value);
      packages.push_back(package);
    }
    fields.clear();
  };
  for (std::string line; std::getline(in, line);) {
    if (line.empty()) finish();
    else if (line[0] == ' ' && !fields.empty()) fields.back().second += "\n" + line;
    else if (auto colon = line.find(": "); colon != std::string::npos)
      fields.emplace_back(line.substr(0, colon), line.substr(colon + 2));
  }
  finish();
  ASSERT_EQ(packages.size(), wanted.size());
  Ids files;
  for (const auto& package : packages) {
    ASSERT_NE(DebBuilder(repositories.file("real")).build(package, package.identifier + ".deb"), "");
    files.push_back(package.identifier + ".deb");
  }
  ASSERT_TRUE(DebBuilder::writeFlatRepository(repositories.file("real"), files));
  ASSERT_TRUE(refresh(locationOf("real")));

  for (const auto& identifier : wanted) queue(identifier);
  open();
  EXPECT_TRUE(screen->problems().empty()) << screen->problems()[0];
  ASSERT_TRUE(screen->confirmBtn()->isEnabled());
  screen->confirmQueue();
  RunLoop::main().runUntilIdle();
  ASSERT_TRUE(waitForPipeline(120));
  for (const auto& identifier : wanted)
    EXPECT_EQ(deviceRoot().packageStatus(identifier), "install ok installed") << identifier;
}

}  // namespace
