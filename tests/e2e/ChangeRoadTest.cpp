// The road of changes to what a device already has, with the real apt-get and dpkg in a
// device root: removals that take their dependents along, upgrades that need a newer
// dependency, a version chosen from the version menu, one run that installs and removes,
// and maintainer scripts that fail, each checked in dpkg's status and in the records.
#include "InstallRoadFixture.h"

namespace {

const std::string kLib = "com.example.lib";
const std::string kTool = "com.example.tool";
const std::string kOther = "com.example.other";

class ChangeRoad : public InstallRoadFixture {
 protected:
  void SetUp() override {
    InstallRoadFixture::SetUp();
    location = locationOf("repo");
    DebBuilder debs(repositories.file("repo"));
    debs.build(DebPackage(kLib, "1.0").field("Name", "Example Library").file("/usr/lib/libexample.txt", "lib 1\n"),
               "lib-1.deb");
    debs.build(DebPackage(kLib, "2.0").field("Name", "Example Library").file("/usr/lib/libexample.txt", "lib 2\n"),
               "lib-2.deb");
    debs.build(DebPackage(kTool, "1.0").field("Name", "Example Tool").field("Depends", kLib).file("/usr/bin/tool", "1\n"),
               "tool-1.deb");
    debs.build(DebPackage(kTool, "1.5").field("Name", "Example Tool").field("Depends", kLib).file("/usr/bin/tool", "1.5\n"),
               "tool-15.deb");
    debs.build(DebPackage(kTool, "2.0")
                   .field("Name", "Example Tool")
                   .field("Depends", kLib + " (>= 2.0)")
                   .file("/usr/bin/tool", "2\n"),
               "tool-2.deb");
    debs.build(DebPackage(kOther, "1.0").field("Name", "Other Thing").file("/usr/share/other.txt", "other\n"),
               "other.deb");
    debs.build(DebPackage("com.example.needy", "1.0").field("Depends", "com.example.nowhere"), "needy.deb");
    debs.build(DebPackage("com.example.badremove", "1.0").script("prerm", "#!/bin/sh\necho 'will not go' >&2\nexit 3\n"),
               "badremove.deb");
    files = {"lib-1.deb", "lib-2.deb", "tool-1.deb", "tool-15.deb", "tool-2.deb", "other.deb", "needy.deb", "badremove.deb"};
    ASSERT_TRUE(DebBuilder::writeFlatRepository(repositories.file("repo"), files));
    ASSERT_TRUE(refresh(location));
    ASSERT_TRUE(package(kTool));
    queueStates_ = NotificationCenter::defaultCenter().addObserver(
        "UpdateQueueStateNotification-" + kTool, NotificationCenter::kPostingThread, [this](const Notification& n) {
          std::lock_guard<std::mutex> lock(statesMutex_);
          toolMessages_.push_back(n.userInfo["Message"].asString());
        });
  }
  void TearDown() override {
    queueStates_.invalidate();
    InstallRoadFixture::TearDown();
  }

  bool installed(const std::string& identifier) { return deviceRoot().packageStatus(identifier) == "install ok installed"; }
  bool gone(const std::string& identifier) {
    return deviceRoot().packageStatus(identifier).find("installed") == std::string::npos;
  }
  std::vector<std::string> toolMessages() {
    std::lock_guard<std::mutex> lock(statesMutex_);
    return toolMessages_;
  }
  void expectSucceeded() {
    auto end = aptEnd();
    ASSERT_TRUE(end);
    ASSERT_TRUE(end->userInfo["success"].asBool()) << (end->error ? end->error->localizedDescription() : "");
  }

  std::string location;
  std::vector<std::string> files;

 private:
  std::mutex statesMutex_;
  std::vector<std::string> toolMessages_;
  NotificationToken queueStates_;
};

TEST_F(ChangeRoad, RemovingALibraryTakesWhatDependsOnItAlong) {
  install(kTool, "1.0");
  ASSERT_TRUE(installed(kLib));
  queue(kLib);
  EXPECT_EQ(package(kLib)->queueOperation(), KVQueueOperationRemove);
  APTDependsTree tree = confirm();
  std::sort(tree.removes.begin(), tree.removes.end());
  EXPECT_EQ(tree.removes, (std::vector<std::string>{kLib, kTool})) << "the dry run names the dependent too";
  expectSucceeded();
  EXPECT_TRUE(gone(kLib));
  EXPECT_TRUE(gone(kTool));
  EXPECT_FALSE(Files::exists(deviceRoot().hostPath("/usr/bin/tool")));
  EXPECT_EQ(package(kLib)->isInstalled(), false);
  EXPECT_EQ(package(kTool)->isInstalled(), false) << "the records follow what APT removed beyond the queue";
  expectNothingLeftQueuedOrArchived();
}

TEST_F(ChangeRoad, AnUpgradeThatNeedsANewerDependencyUpgradesBoth) {
  install(kTool, "1.0");
  EXPECT_EQ(deviceRoot().packageVersion(kLib), "2.0") << "a fresh install takes the newest library";
  // The device has the older library (as if it came before the newer one).
  queue(kLib, "1.0");
  confirm();
  expectSucceeded();
  ASSERT_EQ(deviceRoot().packageVersion(kLib), "1.0");

  queue(kTool);
  EXPECT_EQ(package(kTool)->queueOperation(), KVQueueOperationUpgrade);
  APTDependsTree tree = confirm();
  std::sort(tree.upgrades.begin(), tree.upgrades.end());
  EXPECT_EQ(tree.upgrades, (std::vector<std::string>{kLib, kTool}));
  expectSucceeded();
  EXPECT_EQ(deviceRoot().packageVersion(kTool), "2.0");
  EXPECT_EQ(deviceRoot().packageVersion(kLib), "2.0");
  EXPECT_EQ(package(kTool)->installedVersion(), "2.0");
  EXPECT_EQ(package(kLib)->installedVersion(), "2.0");
  EXPECT_EQ(package(kTool)->isUpdated(), false);
  EXPECT_EQ(toolMessages().back(), "Finished Operation") << "the tool's buttons hear the end of the run";
  expectNothingLeftQueuedOrArchived();
}

TEST_F(ChangeRoad, AnOlderVersionIsChosenFromTheVersionMenu) {
  install(kTool);
  ASSERT_EQ(deviceRoot().packageVersion(kTool), "2.0");
  UIAlertController* options = showOptions(kTool);
  ASSERT_NE(options, nullptr);
  ASSERT_TRUE(options->chooseActionByUser("Select Version"));
  RunLoop::main().runUntilIdle();
  auto menu = dynamic_cast<UIAlertController*>(showWindow()->presentedViewController());
  ASSERT_NE(menu, nullptr);
  std::vector<std::string> titles;
  for (const auto& action : menu->actions()) titles.push_back(action->title());
  EXPECT_EQ(titles, (std::vector<std::string>{"1.0", "1.5", "2.0 (Installed)", "Cancel"}))
      << "lowest first, the installed one marked";
  ASSERT_TRUE(menu->chooseActionByUser("1.5"));
  RunLoop::main().runUntilIdle();
  EXPECT_EQ(package(kTool)->queueOperation(), KVQueueOperationDowngrade);
  EXPECT_EQ(package(kTool)->queuedVersion(), "1.5");
  confirm();
  expectSucceeded();
  EXPECT_EQ(deviceRoot().packageVersion(kTool), "1.5");
  EXPECT_EQ(Files::readText(deviceRoot().hostPath("/usr/bin/tool")), "1.5\n");
  EXPECT_EQ(package(kTool)->installedVersion(), "1.5");
  EXPECT_EQ(package(kTool)->isUpdated(), true) << "the newer version is offered again";
  EXPECT_EQ(deviceRoot().packageVersion(kLib), "2.0") << "the library is left as it was";
  expectNothingLeftQueuedOrArchived();
}

TEST_F(ChangeRoad, OneRunInstallsOneAndRemovesAnother) {
  install(kOther);
  queue(kTool);
  queue(kOther);
  EXPECT_EQ(package(kTool)->queueOperation(), KVQueueOperationInstall);
  EXPECT_EQ(package(kOther)->queueOperation(), KVQueueOperationRemove);
  APTDependsTree tree = confirm();
  EXPECT_EQ(tree.removes, std::vector<std::string>{kOther});
  expectSucceeded();
  EXPECT_TRUE(installed(kTool));
  EXPECT_TRUE(installed(kLib));
  EXPECT_TRUE(gone(kOther));
  EXPECT_EQ(package(kTool)->isInstalled(), true);
  EXPECT_EQ(package(kOther)->isInstalled(), false);
  expectNothingLeftQueuedOrArchived();
}

TEST_F(ChangeRoad, ARemovalWhoseScriptFailsKeepsThePackageAndSaysWhy) {
  install("com.example.badremove");
  queue("com.example.badremove");
  EXPECT_EQ(package("com.example.badremove")->queueOperation(), KVQueueOperationRemove);
  confirm();
  std::string text = aptFailureText();
  EXPECT_NE(text.find("\nSub-process /usr/bin/dpkg returned an error code (1)"), std::string::npos) << text;
  EXPECT_EQ(text.find("E: "), std::string::npos) << "the lines come without their marks: " << text;
  EXPECT_TRUE(logShows("will not go"));
  EXPECT_FALSE(gone("com.example.badremove")) << deviceRoot().packageStatus("com.example.badremove");
  EXPECT_EQ(package("com.example.badremove")->isInstalled(), true);
  expectNothingLeftQueuedOrArchived();
}

TEST_F(ChangeRoad, AQueueAPTCannotResolveFailsWithItsOwnLines) {
  queue("com.example.needy");
  APTDependsTree tree = confirm();
  EXPECT_EQ(tree.incompatible, std::vector<std::string>{"com.example.needy"});
  std::string text = aptFailureText();
  EXPECT_NE(text.find("\nUnable to correct problems, you have held broken packages."), std::string::npos) << text;
  EXPECT_TRUE(deviceRoot().packageStatus("com.example.needy").empty());
  EXPECT_EQ(package("com.example.needy")->isInstalled(), false);
  expectNothingLeftQueuedOrArchived();
}

TEST_F(ChangeRoad, AQueueWithAnArchiveThatCannotBeHadChangesNothing) {
  // A library the repository lists but cannot give: nothing of the queue is done, not
  // even the removal that needed no archive, and nothing is left queued.
  install(kOther);
  queue(kTool);
  queue(kOther);
  Files::removeItem(repositories.file("repo/lib-2.deb"));
  confirm();
  EXPECT_FALSE(aptEnd()) << "no APT run after a failed download";
  EXPECT_TRUE(installed(kOther));
  EXPECT_TRUE(deviceRoot().packageStatus(kTool).empty());
  EXPECT_EQ(KVRPackage::objectsWhere("isInTheQueue = 1").count(), 0u);
}

}  // namespace
