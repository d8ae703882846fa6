// The application delegate through the application's lifecycle events on a real device
// root: the launch sequence, the quick actions, opened addresses, the end of tasks with
// their sounds and messages, the return to the foreground and the termination.
#include <gtest/gtest.h>

#include "app/ApplicationEnvironment.h"
#include "app/KVQuillbark.h"
#include "interface/KVCategorySpecial.h"
#include "browse/PackagesTableViewController.h"
#include "core/KVErrorDomain.h"
#include "core/KVPipelineManager.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "database/KVDatabaseMigrationUtility.h"
#include "database/KVRPackage.h"
#include "foundation/Bundle.h"
#include "foundation/Dispatch.h"
#include "foundation/Files.h"
#include "foundation/NotificationCenter.h"
#include "interface/ErrorViewController.h"
#include "interface/KVApplicationActions.h"
#include "interface/KVTabBarController.h"
#include "operations/ImportedPackageViewController.h"
#include "operations/KVAPTManager.h"
#include "store/Store.h"
#include "support/DebBuilder.h"
#include "support/DeviceRootFixture.h"
#include "support/TestData.h"
#include "support/TestHttpServer.h"
#include "support/TestRoot.h"
#include "support/UIDriver.h"
#include "support/Written.h"
#include "system/AVAudioPlayer.h"
#include "system/AVAudioSession.h"
#include "system/DeviceRoot.h"
#include "system/UNUserNotificationCenter.h"
#include "database/KVRSource.h"
#include "operations/TasksVerboseViewController.h"
#include "uikit/UIActivityViewController.h"
#include "uikit/UINavigationController.h"
#include "uikit/UITabBarItem.h"
#include "uikit/UIStoryboard.h"

namespace {

class ApplicationLaunch : public DeviceRootFixture {
 protected:
  void SetUp() override {
    DeviceRootFixture::SetUp();
    QuillbarkPersistentPreferences::resetSharedInstance();
    // The first run is done, but where a test is of the first run itself.
    preferences().setObject(Value(true), "setupDone");
    // ... with this version, so no what's-new page is due.
    preferences().setObject(Value(Bundle::main().shortVersion()), "welcomeScreenVersion");
    store::Database::setDefaultConfiguration(KVDatabaseMigrationUtility::defaultConfiguration());
    root = std::make_unique<TestRoot>(applicationEnvironment());
    delegate().resetForTesting();
    AVAudioPlayer::clearPlayedSounds();
    UNUserNotificationCenter::currentNotificationCenter().reset();
  }
  void TearDown() override {
    delegate().resetForTesting();
    UNUserNotificationCenter::currentNotificationCenter().reset();
    DispatchQueue::drainGlobalQueues();
    ui.runUntilIdle();
    root.reset();
    store::Database::deleteFiles(KVDatabaseMigrationUtility::databasePath());
    store::Database::setDefaultConfiguration({});
    QuillbarkPersistentPreferences::resetSharedInstance();
    DeviceRootFixture::TearDown();
  }

  static KVQuillbark& delegate() { return KVQuillbark::sharedQuillbark(); }
  static PersistentDictionary& preferences() { return QuillbarkPersistentPreferences::sharedInstance(); }
  UIApplication& application() { return UIApplication::sharedApplication(); }

  // The interface of "Main" in the window, then the delegate's launch, as the process
  // starts; waits for the background work the launch left.
  void launch() {
    ui.show(UIStoryboard::storyboardWithName("Main")->instantiateViewControllerWithIdentifier("TabBarVC"));
    ASSERT_TRUE(application().launch(&delegate()));
    DispatchQueue::drainGlobalQueues();
    ui.runUntilIdle();
  }
  // A pipeline's end of a task, as the pipeline posts it.
  static void finish(const std::string& pipeline, bool success, ErrorRef error) {
    Notification n;
    n.name = KVPipelineTaskFinishedNotification;
    n.userInfo = Value::dict({{KVPipelineUserInfoPipelineID, pipeline}, {KVPipelineUserInfoSuccess, success}});
    n.error = std::move(error);
    NotificationCenter::defaultCenter().post(n);
  }
  // The alert cards on screen, from the root up.
  std::vector<ErrorViewController*> cards() {
    std::vector<ErrorViewController*> out;
    for (UIViewController* c = ui.window().rootViewController(); c; c = c->presentedViewController())
      if (auto* card = dynamic_cast<ErrorViewController*>(c)) out.push_back(card);
    return out;
  }
  void closeCards() {
    while (!cards().empty()) ASSERT_TRUE(ui.tap("OK"));
  }

  UIDriver ui;  // made before the device root, so the root is the fixture's
  std::unique_ptr<TestRoot> root;
};

TEST_F(ApplicationLaunch, AFreshRootGetsItsFoldersDefaultsAPTTreeAndTheTabBar) {
  std::string support = DeviceRoot::devicePath(DeviceRoot::kApplicationSupport);
  ASSERT_FALSE(Files::exists(support + "/HomeCache"));
  preferences().removeObjectForKey("setupDone");
  launch();

  for (const char* folder : {"", "/Downloads", "/Bash", "/SourcesFiles", "/ScreenshotsCache", "/HomeCache",
                             "/DepictionsBanners"})
    EXPECT_TRUE(Files::isDirectory(support + folder)) << folder;
  EXPECT_TRUE(Files::exists(KVAPTManager::configurationPath()));
  const Value defaults = QuillbarkPersistentPreferences::quillbarkDefaultPreferences();
  for (const auto& [key, value] : *defaults.dictionaryPtr()) EXPECT_EQ(preferences().objectForKey(key), value) << key;

  EXPECT_TRUE(delegate().startupCompleted());
  ASSERT_NE(delegate().tabController(), nullptr);
  EXPECT_EQ(delegate().tabController().get(), ui.window().rootViewController());
  // The first tab begins the first run's walk over the tabs, and the version it is
  // made with needs no what's-new page.
  EXPECT_TRUE(ui.screenShows("title: Welcome\nover: Featured")) << ui.screen();
  EXPECT_EQ(preferences().objectForKey("welcomeScreenVersion"), Value("5.0"));
  ASSERT_TRUE(ui.close());
  EXPECT_TRUE(ui.screenShows("tabs: [Featured] Categories Changes Manage Search")) << ui.screen();
  ASSERT_EQ(application().shortcutItems().size(), 2u);
  EXPECT_EQ(application().shortcutItems()[0].type, KVShortcutItemActionRefresh);
  EXPECT_EQ(application().shortcutItems()[0].localizedTitle, "Refresh Sources");
  EXPECT_EQ(application().shortcutItems()[1].type, KVShortcutItemActionAdd);
  EXPECT_EQ(application().shortcutItems()[1].localizedSubtitle, "Add a new source");
  EXPECT_EQ(AVAudioSession::sharedInstance().category(), AVAudioSessionCategoryAmbient);
  auto& center = UNUserNotificationCenter::currentNotificationCenter();
  ASSERT_EQ(center.authorizationRequests().size(), 1u);
  EXPECT_EQ(center.authorizationRequests()[0],
            UNAuthorizationOptionAlert | UNAuthorizationOptionSound | UNAuthorizationOptionBadge);
  EXPECT_EQ(center.delegate(), &delegate());
}

// A second launch on the same root only adds the defaults that are missing: what the
// person changed and keys of their own stay.
TEST_F(ApplicationLaunch, ASecondLaunchOnlyAddsMissingDefaults) {
  launch();
  preferences().setObject(Value(false), "PlaySounds");
  preferences().setObject(Value("kept"), "AKeyOfTheirOwn");
  preferences().removeObjectForKey("ShowVerboseUI");
  preferences().saveToFile();
  std::string marker = DeviceRoot::devicePath(DeviceRoot::kApplicationSupport) + "/Downloads/kept.deb";
  ASSERT_TRUE(Files::writeAtomically(marker, "x"));

  delegate().resetForTesting();
  QuillbarkPersistentPreferences::resetSharedInstance();  // read again from the file
  launch();
  EXPECT_EQ(preferences().objectForKey("PlaySounds"), Value(false));
  EXPECT_EQ(preferences().objectForKey("AKeyOfTheirOwn"), Value("kept"));
  EXPECT_EQ(preferences().objectForKey("ShowVerboseUI"),
            QuillbarkPersistentPreferences::quillbarkDefaultPreferences()["ShowVerboseUI"]);
  EXPECT_TRUE(Files::exists(marker));
}

TEST_F(ApplicationLaunch, QuickActionsRefreshOrOpenTheManageTabAndOthersAreRefused) {
  launch();
  int before = root->sources->refreshes;
  EXPECT_EQ(application().performShortcutItemByUser(KVShortcutItemActionRefresh), std::optional<bool>(true));
  EXPECT_EQ(root->sources->refreshes, before + 1);

  EXPECT_EQ(application().performShortcutItemByUser(KVShortcutItemActionAdd), std::optional<bool>(true));
  EXPECT_EQ(delegate().tabController()->selectedIndex(), 3);

  application().setShortcutItems({{"me_korvale_quillbark_shortcuts_other", "Other", "", "", Value()}});
  EXPECT_EQ(application().performShortcutItemByUser("me_korvale_quillbark_shortcuts_other"), std::optional<bool>(false));
}

TEST_F(ApplicationLaunch, OpenedAddressesAreRoutedByKindAndOpener) {
  launch();
  // A payment callback from another application than the browser sheet does nothing.
  EXPECT_TRUE(application().deliverOpenURL("sileo://payment_completed", "com.apple.mobilesafari"));
  EXPECT_EQ(delegate().tabController()->presentedViewController(), nullptr);

  // A package file opens the local package screen over the tabs, in a navigation stack.
  EXPECT_TRUE(application().deliverOpenURL("file:///var/mobile/Downloads/tweak.deb", "com.apple.DocumentsApp"));
  ui.runUntilIdle();
  auto* navigation = dynamic_cast<UINavigationController*>(delegate().tabController()->presentedViewController());
  ASSERT_NE(navigation, nullptr);
  auto* screen = dynamic_cast<ImportedPackageViewController*>(navigation->topViewController());
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(screen->packagePath(), "/var/mobile/Downloads/tweak.deb");
  EXPECT_TRUE(ui.tap("Cancel"));

  // Any other file is the URL-scheme task's; nothing is presented for it here.
  EXPECT_TRUE(application().deliverOpenURL("file:///var/mobile/Downloads/notes.txt", "com.apple.DocumentsApp"));
  ui.runUntilIdle();
  EXPECT_EQ(delegate().tabController()->presentedViewController(), nullptr);
}

// The "Errors" table's text for an error of the system's own domain, with its package
// in place of "%@"; a code without an entry gets the fallback with its number.
TEST_F(ApplicationLaunch, OwnErrorsAreDescribedFromTheErrorsTableWithTheirPackage) {
  auto described = KVQuillbark::describedError(
      makeError(KVErrorDomain, 34, Value::dict({{"package", "Tweak %n%s %@"}})));
  ASSERT_NE(described, nullptr);
  EXPECT_EQ(described->code, 34);
  EXPECT_EQ(described->userInfo["package"], Value("Tweak %n%s %@"));
  std::string text = described->localizedDescription();
  EXPECT_NE(text.find("Tweak %n%s %@"), std::string::npos) << "the package, never read as a format: " << text;
  EXPECT_EQ(text.rfind("Tweak %n%s %@ could not be installed", 0), 0u) << text;

  auto byIdentifier = KVQuillbark::describedError(
      makeError(KVErrorDomain, 34, Value::dict({{"packageID", "com.example.tool"}})));
  EXPECT_NE(byIdentifier->localizedDescription().find("com.example.tool"), std::string::npos);

  auto unknown = KVQuillbark::describedError(makeError(KVErrorDomain, 77, Value()));
  EXPECT_NE(unknown->localizedDescription().find("Quillbark Error #77. Please report the error code"),
            std::string::npos)
      << unknown->localizedDescription();

  // Errors with a description of their own, and other domains, stay as they are.
  auto own = makeError(KVErrorDomain, 34, "Disk full");
  EXPECT_EQ(KVQuillbark::describedError(own), own);
  auto other = makeError("NSURLErrorDomain", -1001, Value());
  EXPECT_EQ(KVQuillbark::describedError(other), other);
}

TEST_F(ApplicationLaunch, AFailedTaskShowsItsErrorOnceAndPlaysTheSoundOfPackageRuns) {
  launch();
  preferences().setObject(Value(true), "PlaySounds");
  preferences().setObject(Value(false), "ShowNotificationsInsteadOfErrorAlerts");

  finish(KVPipelinePackageOperation, true, nullptr);
  finish(KVPipelinePackageATPInstallOperation, false, nullptr);
  ui.runUntilIdle();
  EXPECT_EQ(AVAudioPlayer::playedSounds(), std::vector<std::string>{"task_success.aiff"});
  EXPECT_TRUE(cards().empty()) << "a failure without an error value shows nothing";

  // The same error object ends two tasks: shown once.
  auto disk = makeError("NSPOSIXErrorDomain", 28, "No space left on the device");
  finish(KVPipelinePackageOperation, false, disk);
  finish(KVPipelineSourceRefresh, false, disk);
  ui.runUntilIdle();
  EXPECT_EQ(AVAudioPlayer::playedSounds(), (std::vector<std::string>{"task_success.aiff", "task_fail.aiff"}));
  ASSERT_EQ(cards().size(), 1u);
  EXPECT_TRUE(ui.screenShows("No space left on the device")) << ui.screen();
  closeCards();

  // Two distinct errors with the same text are both shown; an own error without a
  // description is rebuilt at every end, so it shows every time.
  finish(KVPipelineSourceRefresh, false, makeError("NSPOSIXErrorDomain", 28, "No space left on the device"));
  ui.runUntilIdle();
  EXPECT_EQ(cards().size(), 1u);
  closeCards();
  auto own = makeError(KVErrorDomain, 35, Value());
  finish(KVPipelineSourceRefresh, false, own);
  ui.runUntilIdle();
  EXPECT_EQ(cards().size(), 1u);
  closeCards();
  finish(KVPipelineSourceRefresh, false, own);
  ui.runUntilIdle();
  EXPECT_EQ(cards().size(), 1u);
}

// With notifications preferred, a permitted error becomes a local notification; without
// permission it is not shown at all.
TEST_F(ApplicationLaunch, ErrorsBecomeNotificationsWhenThePersonPrefersThem) {
  auto& center = UNUserNotificationCenter::currentNotificationCenter();
  launch();
  preferences().setObject(Value(true), "ShowNotificationsInsteadOfErrorAlerts");
  center.setAuthorizationStatus(UNAuthorizationStatusAuthorized);

  finish(KVPipelinePackageOperation, false, makeError("NSPOSIXErrorDomain", 5, "Input/output error"));
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return !center.addedRequests().empty(); }));
  auto request = center.addedRequests().back();
  EXPECT_EQ(request.title, "Error");
  EXPECT_EQ(request.body, "Input/output error");
  EXPECT_FALSE(request.badge);
  EXPECT_DOUBLE_EQ(request.triggerSeconds, 1.0);
  EXPECT_TRUE(cards().empty());

  center.setAuthorizationStatus(UNAuthorizationStatusDenied);
  finish(KVPipelinePackageOperation, false, makeError("NSPOSIXErrorDomain", 5, "Input/output error"));
  DispatchQueue::drainGlobalQueues();
  ui.runUntilIdle();
  EXPECT_EQ(center.addedRequests().size(), 1u);
  EXPECT_TRUE(cards().empty());
}

// The return to the foreground re-reads the dpkg status once start-up is over; the
// termination clears every queue mark and stores the visit, on disk at once.
TEST_F(ApplicationLaunch, ForegroundReadsTheStatusAndTerminationClearsTheQueue) {
  launch();
  std::string status = Files::readText(DeviceRoot::devicePath("/var/lib/dpkg/status")).value_or("");
  ASSERT_TRUE(Files::writeAtomically(DeviceRoot::devicePath("/var/lib/dpkg/status"),
                                     status + "\nPackage: com.example.late\nStatus: install ok installed\n"
                                              "Version: 1.0\nArchitecture: iphoneos-arm\nMaintainer: Someone\n\n"));
  ASSERT_TRUE(Files::writeAtomically(DeviceRoot::devicePath("/Library/dpkg/info/com.example.late.list"),
                                     "/.\n/usr/bin/late\n"));
  application().enterBackground();
  application().enterForeground();
  ASSERT_TRUE(RunLoop::main().runUntil([] { return KVRPackage::objectForPrimaryKey("com.example.late").has_value(); },
                                       30));

  auto db = store::Database::defaultDatabase();
  written(db->write([&] {
    auto late = *KVRPackage::objectForPrimaryKey("com.example.late");
    late.setIsInTheQueue(true);
    db->addOrUpdate(late.toObject());
  }));
  double before = Clock::now();
  application().terminate();
  EXPECT_FALSE(KVRPackage::objectForPrimaryKey("com.example.late")->isInTheQueue().value_or(false));
  auto stored = Value::fromPropertyListFile(QuillbarkPersistentPreferences::preferencesPath());
  ASSERT_TRUE(stored);
  EXPECT_TRUE((*stored)["LastVisitDate"].isReal());
  EXPECT_GE((*stored)["LastVisitDate"].asDouble(), before);
}

// The repair of half-installed packages that the launch starts in the background has
// ended when termination returns: the process's globals go right after it.
TEST_F(ApplicationLaunch, TerminationWaitsForTheStartUpRepair) {
  ASSERT_EQ(KVAPTManager::createAPTSandboxIfNeeded(), nullptr);
  // Its configuration fails while the flag file exists, and the flag is gone by launch.
  const std::string flag = deviceRoot().hostPath("/tmp/fail-configure");
  ASSERT_TRUE(Files::writeAtomically(flag, std::string()));
  std::string deb = DebBuilder(deviceRoot().hostPath("/var/mobile/Documents"))
                        .build(DebPackage("com.example.fragile")
                                   .script("postinst", "#!/bin/sh\n[ -e /tmp/fail-configure ] && exit 1\nexit 0\n"));
  EXPECT_FALSE(KVAPTManager::installDPKG(deb, {}));
  ASSERT_EQ(deviceRoot().packageStatus("com.example.fragile"), "install ok half-configured");
  Files::removeItem(flag);

  ui.show(UIStoryboard::storyboardWithName("Main")->instantiateViewControllerWithIdentifier("TabBarVC"));
  ASSERT_TRUE(application().launch(&delegate()));
  application().terminate();  // at once, as a script that only quits
  EXPECT_EQ(deviceRoot().packageStatus("com.example.fragile"), "install ok installed");
}

// The update count goes on the second tab ("%lu", none at 0) and on the icon.
TEST_F(ApplicationLaunch, TheUpdateCountIsTheSecondTabsBadgeAndTheIcons) {
  launch();
  auto& tabs = *delegate().tabController();
  applicationEnvironment().showUpdateCount(3);
  EXPECT_EQ(tabs.viewControllers()[1]->tabBarItem()->badgeValue(), std::optional<std::string>("3"));
  EXPECT_EQ(application().applicationIconBadgeNumber(), 3);
  EXPECT_TRUE(ui.screenShows("tabs: [Featured] Categories(3) Changes Manage Search")) << ui.screen();
  applicationEnvironment().showUpdateCount(0);
  EXPECT_EQ(tabs.viewControllers()[1]->tabBarItem()->badgeValue(), std::nullopt);
  EXPECT_EQ(application().applicationIconBadgeNumber(), 0);
}

// Shared links carry their values percent-encoded, so a location or identifier with
// "&", "=", "#" or blanks can't change the link's other values.
TEST_F(ApplicationLaunch, ShareLinksEncodeTheirValues) {
  launch();
  auto db = store::Database::defaultDatabase();
  const std::string location = "https://repo.example/a b&name=x#frag/";
  written(db->write([&] {
    KVRSource source = KVRSource::newSourceWithLocation(location);
    source.setName(std::string("Example"));
    db->addOrUpdate(source.toObject());
    KVRPackage package;
    package.setIdentifier("com.example.a&b=c");
    package.setName(std::string("Nice Tweak+"));
    package.setMaintainer(std::string("Jane"));
    package.setSourceLocation(location);
    db->addOrUpdate(package.toObject());
  }));
  UIActivityViewController::clearShownSheets();
  // The source as a screen shares it, through the actions the root installed.
  KVApplicationActions::shared("the test").shareSourceWithLocation(location, std::monostate{});
  delegate().sharePackage("com.example.a&b=c", std::monostate{});
  ui.runUntilIdle();
  const auto& sheets = UIActivityViewController::shownSheets();
  ASSERT_EQ(sheets.size(), 2u);
  std::string source = sheets[0]->activityItems().at(0).text;
  EXPECT_NE(source.find("quillbark://add/repo=https://repo.example/a%20b%26name%3Dx%23frag/)"), std::string::npos)
      << source;
  std::string package = sheets[1]->activityItems().at(0).text;
  EXPECT_NE(package.find("name=Nice+Tweak%2B&bundleid=com.example.a%26b%3Dc&repo=https://repo.example/a%20b%26name%3Dx%23frag/)"),
            std::string::npos)
      << package;
}

// Sharing a package never stalls the main loop: its screenshots come from the image
// loader, and the sheet follows with them in the package's order once all have answered.
TEST_F(ApplicationLaunch, SharingAPackageWaitsForItsScreenshotsOffTheMainThread) {
  launch();
  TestHttpServer server;
  const Data bytes = Files::read(testdata::fixture("icons/package-icon.png")).value_or(Data());
  const std::string png(bytes.begin(), bytes.end());
  ASSERT_FALSE(png.empty());
  server.handle("GET", "/slow.png", [&](const TestHttpRequest&) {
    TestHttpResponse reply = TestHttpResponse::text(png);
    reply.delay = std::chrono::milliseconds(1500);
    return reply;
  });
  server.handle("GET", "/quick.png", [&](const TestHttpRequest&) { return TestHttpResponse::text(png); });
  auto db = store::Database::defaultDatabase();
  written(db->write([&] {
    KVRPackage package;
    package.setIdentifier("com.example.shown");
    package.setName(std::string("Shown"));
    package.setScreenshots({server.url("/slow.png"), "not an address", server.url("/quick.png"), server.url("/gone.png")});
    db->addOrUpdate(package.toObject());
  }));
  UIActivityViewController::clearShownSheets();
  const auto started = std::chrono::steady_clock::now();
  delegate().sharePackage("com.example.shown", std::monostate{});
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(500)) << "the caller does not wait";
  ui.runUntilIdle();
  EXPECT_TRUE(UIActivityViewController::shownSheets().empty()) << "no sheet before the screenshots";
  ASSERT_TRUE(RunLoop::main().runUntil([] { return !UIActivityViewController::shownSheets().empty(); }, 20));
  const auto& items = UIActivityViewController::shownSheets().at(0)->activityItems();
  ASSERT_EQ(items.size(), 3u) << "the text and the two screenshots that are pictures";
  EXPECT_NE(items[0].text.find("Shown"), std::string::npos);
  EXPECT_TRUE(items[1].image);
  EXPECT_TRUE(items[2].image);
}

// The announcements other parts post become alerts and screens on a later turn: a
// followed developer's new packages lead to the list of that developer's new packages,
// "ShowVerboseView" opens the verbose log.
TEST_F(ApplicationLaunch, AnnouncementsBecomeAlertsAndScreens) {
  launch();
  NotificationCenter::defaultCenter().post(
      "NewPackageByFollowedDeveloper", Value(),
      Value::dict({{"title", "New Package by Followed Developer"},
                   {"message", "jane has published one new package. Do you want to visit their page?"},
                   {"developer", "jane"}}));
  ui.runUntilIdle();
  EXPECT_TRUE(ui.screenShows("jane has published one new package")) << ui.screen();
  EXPECT_TRUE(ui.tap("Yes"));
  ui.advance(1);
  EXPECT_EQ(delegate().developerToShow(), "jane");
  auto* page = dynamic_cast<UINavigationController*>(delegate().tabController()->presentedViewController());
  ASSERT_NE(page, nullptr);
  auto* list = dynamic_cast<PackagesTableViewController*>(page->topViewController());
  ASSERT_NE(list, nullptr) << ui.screen();
  EXPECT_EQ(list->category(), kCategorySpecial_NewPackagesFromFollowedDeveloper);
  EXPECT_TRUE(ui.screenShows("title: New Packages")) << ui.screen();
  EXPECT_TRUE(ui.close());

  // A followed source's new packages: the local notification, once opened, lists them.
  auto db = store::Database::defaultDatabase();
  written(db->write([&] {
    KVRPackage fresh;
    fresh.setIdentifier("com.example.fresh");
    fresh.setName(std::string("Fresh"));
    db->addOrUpdate(fresh.toObject());
  }));
  NotificationCenter::defaultCenter().post(
      "ShowNewSourcePackages", Value(),
      Value::dict({{"Identifiers", Value(Value::Array{Value("com.example.fresh")})}, {"SourceName", "Example"}}));
  ui.runUntilIdle();
  delegate().userNotificationCenterDidReceiveNotificationResponse(UNNotificationRequest{}, [] {});
  ui.runUntilIdle();
  page = dynamic_cast<UINavigationController*>(delegate().tabController()->presentedViewController());
  ASSERT_NE(page, nullptr);
  list = dynamic_cast<PackagesTableViewController*>(page->topViewController());
  ASSERT_NE(list, nullptr) << ui.screen();
  EXPECT_EQ(list->category(), kCategorySpecial_NewPackagesFromFollowedSource);
  EXPECT_TRUE(ui.screenShows("Fresh")) << ui.screen();
  EXPECT_TRUE(ui.close());

  NotificationCenter::defaultCenter().post("ShowVerboseView");
  ui.runUntilIdle();
  auto* navigation = dynamic_cast<UINavigationController*>(delegate().tabController()->presentedViewController());
  ASSERT_NE(navigation, nullptr);
  EXPECT_NE(dynamic_cast<TasksVerboseViewController*>(navigation->topViewController()), nullptr);
}

}  // namespace
