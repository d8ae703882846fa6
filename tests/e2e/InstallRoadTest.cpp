// The road of one install with the real apt-get and dpkg in a device root: a repository
// on 127.0.0.1 refreshed into the records, a package queued through the application
// delegate, the dry run, one download per archive, the APT run, and the dpkg status read
// back into the records. The same road removes, upgrades, downgrades and reinstalls;
// holding goes through the options menu, a local archive through the dpkg-install task.
#include "InstallRoadFixture.h"
#include "interface/PackageCell.h"
#include "operations/PackagesConfirmationViewController.h"
#include "support/Latch.h"
#include "uikit/UIButton.h"
#include "uikit/UINavigationController.h"

namespace {

class InstallRoad : public InstallRoadFixture {
 protected:
  void SetUp() override {
    InstallRoadFixture::SetUp();
    location = locationOf("repo");
    DebBuilder debs(repositories.file("repo"));
    debs.build(DebPackage("com.example.lib", "1.0").field("Name", "Example Library").file("/usr/lib/libexample.txt", "lib\n"),
               "lib-1.deb");
    for (const auto& [version, file] : {std::pair{"1.0", "tool-1.deb"}, std::pair{"1:2.0-1", "tool-2.deb"}}) {
      debs.build(DebPackage("com.example.tool", version)
                     .field("Name", "Example Tool")
                     .field("Depends", "com.example.lib (>= 1.0)")
                     .file("/usr/bin/example-tool", std::string("tool ") + version + "\n"),
                 file);
    }
    debs.build(DebPackage("com.example.broken", "1.0").script("postinst", "#!/bin/sh\necho 'cannot set up' >&2\nexit 1\n"),
               "broken.deb");
    debs.build(DebPackage("com.example.refuser", "1.0")
                   .field("Name", "Refuser")
                   .script("preinst", "#!/bin/sh\necho 'not on this device' >&2\nexit 1\n"),
               "refuser.deb");
    debs.build(DebPackage("com.example.sticky", "1.0")
                   .field("Name", "Sticky")
                   .script("postrm", "#!/bin/sh\n[ \"$1\" = remove ] || exit 0\necho 'cannot let go' >&2\nexit 1\n"),
               "sticky.deb");
    DebPackage phone("com.example.phone"), anywhere("com.example.anywhere");
    phone.architecture = "iphoneos-arm64";
    anywhere.architecture = "all";
    debs.build(phone, "phone.deb");
    debs.build(anywhere, "anywhere.deb");
    ASSERT_TRUE(DebBuilder::writeFlatRepository(repositories.file("repo"),
                                                {"lib-1.deb", "tool-1.deb", "tool-2.deb", "broken.deb", "refuser.deb",
                                                 "sticky.deb", "phone.deb", "anywhere.deb"}));
    ASSERT_TRUE(refresh(location));
    ASSERT_TRUE(package("com.example.tool"));
  }

  std::string location;
};

TEST_F(InstallRoad, InstallsAPackageWithItsDependency) {
  const HostPackageState before = HostPackageState::capture();
  queue("com.example.tool");
  EXPECT_EQ(package("com.example.tool")->queueOperation(), KVQueueOperationInstall);
  APTDependsTree tree = confirm();
  EXPECT_EQ(tree.depends, std::vector<std::string>{"com.example.lib"});

  auto end = aptEnd();
  ASSERT_TRUE(end);
  EXPECT_TRUE(end->userInfo["success"].asBool()) << (end->error ? end->error->localizedDescription() : "");
  EXPECT_EQ(deviceRoot().packageStatus("com.example.tool"), "install ok installed");
  EXPECT_EQ(deviceRoot().packageVersion("com.example.tool"), "1:2.0-1");
  EXPECT_EQ(deviceRoot().packageStatus("com.example.lib"), "install ok installed");
  EXPECT_EQ(Files::readText(deviceRoot().hostPath("/usr/bin/example-tool")), "tool 1:2.0-1\n");

  // One download per archive, with the repository's headers; APT fetched nothing.
  auto files = downloadedFiles();
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"lib-1.deb", "tool-2.deb"}));
  for (const auto& request : server.requests()) {
    if (!request.path.ends_with(".deb")) continue;
    EXPECT_EQ(request.header("User-Agent"), "Telesphoreo APT-HTTP/1.0.592");
  }

  EXPECT_EQ(package("com.example.tool")->isInstalled(), true);
  EXPECT_EQ(package("com.example.tool")->installedVersion(), "1:2.0-1");
  EXPECT_EQ(package("com.example.lib")->isInstalled(), true);
  expectNothingLeftQueuedOrArchived();
  // The log shows the names of the packages and the steps apt-get took.
  EXPECT_TRUE(logShows("Setting up Example Tool"));
  EXPECT_EQ(HostPackageState::capture().differencesFrom(before), "");
}

TEST_F(InstallRoad, ARefreshStillRunningDoesNotHoldTheAPTRunBack) {
  // Another repository answers only once the queue has been installed, so its refresh
  // is in the pipeline while the downloads end.
  std::string slow = serveIndex("slow", "Package: com.example.slow\nVersion: 1.0\nArchitecture: iphoneos-arm\n");
  Latch installed;
  NotificationToken aptRuns = NotificationCenter::defaultCenter().addObserver(
      KVPipelineTaskFinishedNotification, NotificationCenter::kPostingThread, [&](const Notification& n) {
        if (n.userInfo["pipelineID"].asString() == KVPipelinePackageATPInstallOperation) installed.arrive();
      });
  server.handle("GET", "/slow/Release", [&](const TestHttpRequest&) {
    installed.wait(60);
    return TestHttpResponse::text(Files::readText(repositories.file("slow/Release")).value_or(""));
  });
  addSourceRecord(slow);
  manager().refreshSource(slow);
  ASSERT_TRUE(server.waitForRequests("/slow/Release", 1));

  queue("com.example.tool");
  confirm();
  aptRuns.invalidate();
  ASSERT_TRUE(aptEnd()) << "the last download of the queue started the APT run";
  EXPECT_TRUE(aptEnd()->userInfo["success"].asBool());
  EXPECT_EQ(installed.arrived(), 1);
  EXPECT_EQ(deviceRoot().packageStatus("com.example.tool"), "install ok installed");
  EXPECT_TRUE(package("com.example.slow")) << "the refresh went on afterwards";
}

// The APT run installs the queue that was confirmed, handed along with its downloads:
// another queue built on the confirmation screen while they run is not what it installs.
TEST_F(InstallRoad, TheConfirmedQueueIsInstalledWhateverQueueIsBuiltMeanwhile) {
  Latch release;
  server.handle("GET", "/repo/tool-2.deb", [&](const TestHttpRequest&) {
    release.wait(60);
    return TestHttpResponse::text(Files::readText(repositories.file("repo/tool-2.deb")).value_or(""));
  });
  queue("com.example.tool");
  std::string first = KVPackageQueue::queueString();
  KVPackageQueue::launchQueueActions(*root->packagesManager, first, KVAPTManager::unmetDependenciesForPackages(first));
  ASSERT_TRUE(server.waitForRequests("/repo/tool-2.deb", 1));
  // Only the held download is left (placing an archive needs the APT runner, which the
  // second screen's dry run takes), and nothing is queued any more.
  ASSERT_TRUE(RunLoop::main().runUntil(
      [] { return KVPipelineManager::sharedManager().tasksArray().size() == 1 && KVPackageQueue::queuedPackages().empty(); },
      20));

  queue("com.example.broken");
  auto second = std::make_shared<PackagesConfirmationViewController>(screenContext());
  showWindow()->presentViewController(std::make_shared<UINavigationController>(second), false);
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return !second->resolvedQueue().empty(); }, 60));
  EXPECT_EQ(second->resolvedQueue(), "com.example.broken");
  release.arrive();
  ASSERT_TRUE(waitForPipeline(120));

  ASSERT_TRUE(aptEnd());
  EXPECT_TRUE(aptEnd()->userInfo["success"].asBool());
  EXPECT_EQ(deviceRoot().packageStatus("com.example.tool"), "install ok installed");
  EXPECT_EQ(deviceRoot().packageStatus("com.example.broken"), "") << "the queue built meanwhile is not installed";
  EXPECT_TRUE(package("com.example.broken")->isInTheQueue().value_or(false)) << "and stays queued";
}

TEST_F(InstallRoad, RemovesAnInstalledPackage) {
  install("com.example.tool");
  queue("com.example.tool");
  EXPECT_EQ(package("com.example.tool")->queueOperation(), KVQueueOperationRemove);
  size_t fetchedBefore = downloadedFiles().size();
  APTDependsTree tree = confirm();
  EXPECT_EQ(tree.removes, std::vector<std::string>{"com.example.tool"});
  ASSERT_TRUE(aptEnd() && aptEnd()->userInfo["success"].asBool());
  EXPECT_EQ(downloadedFiles().size(), fetchedBefore) << "nothing to fetch: the APT run came at once";
  EXPECT_EQ(deviceRoot().packageStatus("com.example.tool").find("installed"), std::string::npos);
  EXPECT_EQ(deviceRoot().packageStatus("com.example.lib"), "install ok installed");
  EXPECT_EQ(package("com.example.tool")->isInstalled(), false);
  expectNothingLeftQueuedOrArchived();
}

TEST_F(InstallRoad, UpgradesAndDowngradesToAChosenVersion) {
  install("com.example.tool", "1.0");
  EXPECT_EQ(deviceRoot().packageVersion("com.example.tool"), "1.0");
  EXPECT_EQ(package("com.example.tool")->isUpdated(), true) << "a newer version is offered";

  queue("com.example.tool");
  EXPECT_EQ(package("com.example.tool")->queueOperation(), KVQueueOperationUpgrade);
  APTDependsTree upgrade = confirm();
  EXPECT_EQ(upgrade.upgrades, std::vector<std::string>{"com.example.tool"});
  ASSERT_TRUE(aptEnd() && aptEnd()->userInfo["success"].asBool());
  EXPECT_EQ(deviceRoot().packageVersion("com.example.tool"), "1:2.0-1");

  queue("com.example.tool", "1.0");
  EXPECT_EQ(package("com.example.tool")->queueOperation(), KVQueueOperationDowngrade);
  confirm();
  ASSERT_TRUE(aptEnd());
  ASSERT_TRUE(aptEnd()->userInfo["success"].asBool())
      << (aptEnd()->error ? aptEnd()->error->localizedDescription() : "no error");
  EXPECT_EQ(deviceRoot().packageVersion("com.example.tool"), "1.0");
  EXPECT_EQ(package("com.example.tool")->installedVersion(), "1.0");
  EXPECT_EQ(Files::readText(deviceRoot().hostPath("/usr/bin/example-tool")), "tool 1.0\n");
  expectNothingLeftQueuedOrArchived();
}

TEST_F(InstallRoad, ReinstallsAndHoldsFromTheOptions) {
  install("com.example.tool");
  Files::writeAtomically(deviceRoot().hostPath("/usr/bin/example-tool"), std::string("damaged\n"));

  UIAlertController* options = showOptions("com.example.tool");
  ASSERT_NE(options, nullptr);
  ASSERT_TRUE(options->chooseActionByUser("Reinstall"));
  RunLoop::main().runUntilIdle();
  EXPECT_EQ(package("com.example.tool")->queueOperation(), KVQueueOperationReinstall);
  confirm();
  ASSERT_TRUE(aptEnd() && aptEnd()->userInfo["success"].asBool());
  EXPECT_EQ(Files::readText(deviceRoot().hostPath("/usr/bin/example-tool")), "tool 1:2.0-1\n");
  EXPECT_EQ(deviceRoot().packageStatus("com.example.tool"), "install ok installed");

  options = showOptions("com.example.tool");
  ASSERT_TRUE(options->chooseActionByUser("Ignore Updates"));
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return package("com.example.tool")->isHeld() == true; }, 30));
  EXPECT_EQ(deviceRoot().packageStatus("com.example.tool"), "hold ok installed");

  options = showOptions("com.example.tool");
  ASSERT_TRUE(options->chooseActionByUser("Show Updates"));
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return package("com.example.tool")->isHeld() == false; }, 30));
  EXPECT_EQ(deviceRoot().packageStatus("com.example.tool"), "install ok installed");
}

// A newer version of a held package, picked by hand: the confirmation says before Confirm
// that it is changed and held no longer, and Confirm installs it, as its dry run said.
TEST_F(InstallRoad, AVersionPickedByHandForAHeldPackageInstallsAsTheConfirmationSays) {
  install("com.example.tool", "1.0");
  ASSERT_TRUE(showOptions("com.example.tool")->chooseActionByUser("Ignore Updates"));
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return package("com.example.tool")->isHeld() == true; }, 30));
  closeWindow();
  ASSERT_TRUE(showOptions("com.example.tool")->chooseActionByUser("Select Version"));
  RunLoop::main().runUntilIdle();
  auto* versions = dynamic_cast<UIAlertController*>(showWindow()->presentedViewController());
  ASSERT_NE(versions, nullptr);
  ASSERT_TRUE(versions->chooseActionByUser("1:2.0-1"));
  RunLoop::main().runUntilIdle();
  ASSERT_EQ(package("com.example.tool")->queuedVersion(), "1:2.0-1");

  auto screen = std::make_shared<PackagesConfirmationViewController>(screenContext());
  showWindow()->presentViewController(std::make_shared<UINavigationController>(screen), false);
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return !screen->resolvedQueue().empty() && !screen->isResolving(); }, 60));
  EXPECT_TRUE(screen->problems().empty()) << screen->problems()[0];
  auto& table = *screen->packagesConfirmationTableView();
  EXPECT_EQ(screen->tableViewTitleForFooterInSection(table, PackagesConfirmationViewController::QueuedSection),
            "com.example.tool is held: confirming installs 1:2.0-1 as queued, and it is held no longer");
  EXPECT_TRUE(screen->confirmBtn()->isEnabled());
  screen->confirmQueue();
  ASSERT_TRUE(waitForPipeline(120));
  ASSERT_TRUE(aptEnd());
  ASSERT_TRUE(aptEnd()->userInfo["success"].asBool()) << aptEnd()->error->localizedDescription();
  EXPECT_EQ(deviceRoot().packageVersion("com.example.tool"), "1:2.0-1");
  EXPECT_EQ(deviceRoot().packageStatus("com.example.tool"), "install ok installed");
  EXPECT_EQ(package("com.example.tool")->isHeld(), false);
  expectNothingLeftQueuedOrArchived();
}

TEST_F(InstallRoad, ALocalArchiveInstallsThroughTheDpkgInstallTask) {
  std::string folder = deviceRoot().hostPath("/var/mobile/Documents");
  std::string deb = DebBuilder(folder).build(DebPackage("com.example.local", "3.0").file("/usr/share/local.txt", "x"),
                                             "My Local.deb");
  KVPipelineManager::sharedManager().queueTask(std::make_shared<KVPackageDPKGInstallTask>(deb, "com.example.local"));
  ASSERT_TRUE(waitForPipeline());
  ASSERT_TRUE(aptEnd());
  EXPECT_TRUE(aptEnd()->userInfo["success"].asBool());
  EXPECT_EQ(aptEnd()->userInfo["taskID"].asString(), "Install-com.example.local");
  EXPECT_EQ(deviceRoot().packageStatus("com.example.local"), "install ok installed");
  EXPECT_FALSE(Files::exists(deb)) << "the archive is deleted after the install";
  EXPECT_EQ(package("com.example.local")->isInstalled(), true);
  EXPECT_EQ(package("com.example.local")->sourceLocation(), KVRPackage::kDPKGSourceLocation);
}

TEST_F(InstallRoad, ALocalArchiveDpkgCannotSetUpFailsAndIsStillDeleted) {
  std::string deb = DebBuilder(deviceRoot().hostPath("/var/mobile/Documents"))
                        .build(DebPackage("com.example.orphan", "1.0").field("Depends", "com.example.nowhere"), "o.deb");
  KVPipelineManager::sharedManager().queueTask(std::make_shared<KVPackageDPKGInstallTask>(deb, "com.example.orphan"));
  ASSERT_TRUE(waitForPipeline());
  auto end = aptEnd();
  ASSERT_TRUE(end);
  EXPECT_FALSE(end->userInfo["success"].asBool());
  ASSERT_NE(end->error, nullptr);
  EXPECT_EQ(end->error->code, KVErrorPackageToolFailed);
  // dpkg marks none of its lines as APT does: the text says where to look.
  EXPECT_EQ(end->error->localizedDescription(),
            "DPKG returned an error while performing operations:\n\nQuillbark was unable to determine the cause of this "
            "error. Please view the log output for more information.");
  EXPECT_TRUE(logShows("dependency problems"));
  EXPECT_FALSE(Files::exists(deb));
  EXPECT_EQ(deviceRoot().packageStatus("com.example.orphan"), "install ok unpacked");
}

TEST_F(InstallRoad, AFailingMaintainerScriptEndsWithCode34AndDpkgsLines) {
  queue("com.example.broken");
  confirm();
  std::string text = aptFailureText();
  EXPECT_NE(text.find("\nSub-process /usr/bin/dpkg returned an error code (1)"), std::string::npos) << text;
  EXPECT_EQ(deviceRoot().packageStatus("com.example.broken"), "install ok half-configured");
  EXPECT_EQ(package("com.example.broken")->isInstalled(), true) << "unpacked but not set up counts as there";
  EXPECT_TRUE(logShows("cannot set up"));
  expectNothingLeftQueuedOrArchived();
}

// A package whose pre-installation script fails is named, not its archive, with the
// reason whole; the run's other packages it left unpacked say why they were not set up.
TEST_F(InstallRoad, AFailingPreinstNamesThePackageAndWhatItLeftUnset) {
  queue("com.example.lib");
  queue("com.example.refuser");
  confirm();
  std::string text = aptFailureText();
  EXPECT_NE(text.find("\nRefuser was not installed: its pre-installation script failed (exit status 1)\n"),
            std::string::npos) << text;
  EXPECT_EQ(text.find("archives/"), std::string::npos) << "no archive's path: " << text;
  EXPECT_NE(deviceRoot().packageStatus("com.example.refuser"), "install ok installed");
  EXPECT_EQ(deviceRoot().packageStatus("com.example.lib"), "install ok unpacked");
  EXPECT_NE(text.find("\nExample Library needs configuring: the run stopped at the failure of Refuser before setting it up\n"),
            std::string::npos) << text;
  EXPECT_TRUE(logShows("Refuser was not installed: its pre-installation script failed (exit status 1)"));
}

// A removal whose post-removal script fails leaves the package half gone, which APT
// removes again first in every later run. Its options are what dpkg can do for it (no
// Configure Again, which dpkg refuses); a later queue names it as what blocks it before
// Confirm, and offers to uninstall it again or reinstall it with the queue.
TEST_F(InstallRoad, AFailedRemovalIsOfferedWhatDpkgCanDoAndNamedAsWhatBlocksTheNextQueue) {
  install("com.example.sticky");
  queue("com.example.sticky");
  confirm();
  std::string text = aptFailureText();
  EXPECT_NE(text.find("\nSticky was not removed: its post-removal script failed (exit status 1)\n"), std::string::npos)
      << text;
  EXPECT_EQ(deviceRoot().packageStatus("com.example.sticky"), "deinstall ok half-installed");
  EXPECT_EQ(package("com.example.sticky")->installState(), "half-installed");
  UIAlertController* options = showOptions("com.example.sticky");
  ASSERT_NE(options, nullptr);
  std::vector<std::string> titles;
  for (const auto& action : options->actions()) titles.push_back(action->title());
  EXPECT_EQ(titles, (std::vector<std::string>{"Reinstall", "Uninstall Again", "Ignore Updates", "Select Version",
                                              "Share Sticky", "Cancel"}));
  EXPECT_NE(options->message().value_or("").find("Sticky was being removed when a script of it failed"), std::string::npos);
  closeWindow();

  queue("com.example.lib");
  auto screen = std::make_shared<PackagesConfirmationViewController>(screenContext());
  showWindow()->presentViewController(std::make_shared<UINavigationController>(screen), false);
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return !screen->resolvedQueue().empty() && !screen->isResolving(); }, 60));
  RunLoop::main().runUntilIdle();
  EXPECT_EQ(screen->problems(), std::vector<std::string>{"com.example.sticky blocks this queue: its removal failed, and "
                                                         "APT tries it again first. Uninstall it again, or reinstall it"});
  EXPECT_FALSE(screen->confirmBtn()->isEnabled());
  auto* offer = dynamic_cast<UIAlertController*>(screen->navigationController()->presentedViewController());
  ASSERT_NE(offer, nullptr);
  titles.clear();
  for (const auto& action : offer->actions()) titles.push_back(action->title());
  EXPECT_EQ(titles, (std::vector<std::string>{"Uninstall Sticky Again", "Reinstall Sticky", "Close"}));
  ASSERT_TRUE(offer->chooseActionByUser("Reinstall Sticky"));
  ASSERT_TRUE(RunLoop::main().runUntil(
      [&] { return !screen->isResolving() && screen->problems().empty() && screen->confirmBtn()->isEnabled(); }, 60))
      << ::testing::PrintToString(screen->problems());
  screen->confirmQueue();
  ASSERT_TRUE(waitForPipeline(120));
  ASSERT_TRUE(aptEnd());
  EXPECT_TRUE(aptEnd()->userInfo["success"].asBool()) << aptEnd()->error->localizedDescription();
  EXPECT_EQ(deviceRoot().packageStatus("com.example.lib"), "install ok installed");
  EXPECT_EQ(deviceRoot().packageStatus("com.example.sticky"), "install ok installed");
  EXPECT_FALSE(package("com.example.sticky")->installState());
}

// A package built for another device is listed without GET; a tap says why and queues
// nothing. One built for "all" installs as the device's own.
TEST_F(InstallRoad, APackageBuiltForAnotherDeviceIsMarkedAndNeverQueued) {
  ASSERT_TRUE(package("com.example.phone"));
  EXPECT_EQ(package("com.example.phone")->architecture(), "iphoneos-arm64");
  EXPECT_EQ(root->packagesManager->getButtonTitleForPackageIdentifier("com.example.phone", true), "INCOMPATIBLE");
  EXPECT_EQ(root->packagesManager->getButtonTitleForPackageIdentifier("com.example.anywhere", true), "GET");
  showWindow();
  queue("com.example.phone");
  RunLoop::main().runUntilIdle();
  EXPECT_FALSE(package("com.example.phone")->isInTheQueue().value_or(false));
  auto* alert = dynamic_cast<UIAlertController*>(showWindow()->presentedViewController());
  ASSERT_NE(alert, nullptr);
  EXPECT_EQ(alert->title(), "Not for This Device");
  EXPECT_EQ(alert->message(),
            "com.example.phone is built for iphoneos-arm64, and this device installs packages built for iphoneos-arm.");
  closeWindow();

  install("com.example.anywhere");
  EXPECT_EQ(deviceRoot().packageStatus("com.example.anywhere"), "install ok installed");
}

TEST_F(InstallRoad, AnArchiveTheServerWillNotGiveLeavesTheQueueUninstalled) {
  TestHttpResponse gone;
  gone.status = 404;
  gone.body = "gone";
  server.respond("/repo/lib-1.deb", gone);
  queue("com.example.tool");
  confirm();
  EXPECT_FALSE(aptEnd()) << "no APT run after a failed download";
  EXPECT_TRUE(deviceRoot().packageStatus("com.example.tool").empty());
  EXPECT_EQ(KVRPackage::objectsWhere("isInTheQueue = 1").count(), 0u);
}

// A package whose setup fails is named with its script's failure. It still counts as
// installed, but its row, its page's button and its options say it needs configuring and
// offer to configure it again (dpkg runs its script again, and the failure is named again)
// or to uninstall it; a later queue of another package ends well, naming it as broken
// before.
TEST_F(InstallRoad, APackageWhoseSetupFailsIsNamedMarkedAndNotBlamedOnTheNextQueue) {
  const std::string fault = "com.example.broken needs configuring: its post-installation script failed (exit status 1)";
  queue("com.example.broken");
  confirm();
  std::string text = aptFailureText();
  EXPECT_NE(text.find("\n" + fault + "\n"), std::string::npos) << text;
  EXPECT_TRUE(logShows(fault));

  auto broken = package("com.example.broken");
  ASSERT_TRUE(broken);
  EXPECT_EQ(broken->isInstalled(), true);
  EXPECT_EQ(broken->installState(), "half-configured");
  PackageCell row;
  row.updateWithPackage(*broken);
  row.updateQueuingIconWithPackage(broken);
  std::string name, detail, mark;
  row.screenRowParts(name, detail, mark);
  EXPECT_EQ(mark, "(needs configuring)");
  EXPECT_EQ(root->packagesManager->getButtonTitleForPackageIdentifier("com.example.broken", true), "NEEDS CONFIGURING");
  // Its button's tap offers the choice rather than queueing it.
  showWindow();
  queue("com.example.broken");
  RunLoop::main().runUntilIdle();
  EXPECT_FALSE(package("com.example.broken")->isInTheQueue().value_or(false));
  closeWindow();
  UIAlertController* options = showOptions("com.example.broken");
  ASSERT_NE(options, nullptr);
  EXPECT_NE(options->message().value_or("").find("needs configuring"), std::string::npos);
  ASSERT_TRUE(options->chooseActionByUser("Configure Again"));
  ASSERT_TRUE(waitForPipeline());
  text = aptFailureText("DPKG returned an error while performing operations:\n");
  EXPECT_NE(text.find(fault), std::string::npos) << text;
  closeWindow();

  install("com.example.lib");
  EXPECT_TRUE(logShows("com.example.broken needed configuring before this queue, and still does: its post-installation "
                       "script failed (exit status 1)"));
  EXPECT_EQ(deviceRoot().packageStatus("com.example.lib"), "install ok installed");

  options = showOptions("com.example.broken");
  ASSERT_TRUE(options->chooseActionByUser("Uninstall"));
  RunLoop::main().runUntilIdle();
  confirm();
  ASSERT_TRUE(aptEnd() && aptEnd()->userInfo["success"].asBool());
  EXPECT_EQ(deviceRoot().packageStatus("com.example.broken").find("installed"), std::string::npos);
  EXPECT_EQ(package("com.example.broken")->isInstalled(), false);
}

}  // namespace
