// The settings screen on its own property list: the caches of real folders, the URL
// schemes written into a real binary Info.plist, the language change on the manual clock
// (and its refusal while packages are on their way), the palette switches and the rows
// that reach the account and the other screens.
#include <gtest/gtest.h>

#include "core/KVPipelineManager.h"
#include "core/NSBundleLocalizedBundle.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "foundation/Bundle.h"
#include "core/ShellCommand.h"
#include "foundation/Files.h"
#include "foundation/LocalizedStrings.h"
#include "interface/KVPaletteManager.h"
#include "interface/KVTabBarController.h"
#include "interface/SettingsCell.h"
#include "interface/SettingsPlistViewController.h"
#include "support/TestRoot.h"
#include "support/UIDriver.h"
#include "system/DeviceRoot.h"
#include "system/UNUserNotificationCenter.h"
#include "uikit/UIAlertController.h"
#include "uikit/UIApplication.h"
#include "uikit/UIActivityViewController.h"
#include "uikit/UINavigationController.h"
#include "uikit/UISwitch.h"

namespace {

// A task that stays listed until the test ends it.
class ListedTask : public KVTask {
 public:
  explicit ListedTask(std::string pipeline) : pipeline_(std::move(pipeline)) {}
  std::string className() const override { return "ListedTask"; }
  std::string taskID() const override { return "listed-" + pipeline_; }
  std::string pipelineID() const override { return pipeline_; }
  std::string taskDescription() const override { return "listed"; }
  double taskProgress() const override { return -1; }
  void taskStart() override {}
  void end() { finishOperation(); }

 private:
  std::string pipeline_;
};

class SettingsScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Files::createDirectories(DeviceRoot::devicePath(DeviceRoot::kApplicationSupport));
    Files::createDirectories(Files::deletingLastPathComponent(SettingsPlistViewController::applicationInfoPath()));
  }
  void TearDown() override {
    for (auto& task : tasks) task->end();
    NSBundleLocalizedBundle::setLanguage(std::nullopt);
  }
  void open() {
    settings = std::make_shared<SettingsPlistViewController>(screenContext(), [this] { return account; });
    ui.show(std::make_shared<UINavigationController>(settings));
  }
  // Opens the picker row titled `row`, turns it to `choice` and closes it.
  void choose(const std::string& row, const std::string& choice) {
    ASSERT_TRUE(ui.scroll("bottom"));
    ASSERT_TRUE(ui.tap(row)) << ui.screen();
    ASSERT_TRUE(ui.pick(choice)) << ui.screen();
    ASSERT_TRUE(ui.tap("Select"));
  }
  void list(const std::string& pipeline) {
    tasks.push_back(std::make_shared<ListedTask>(pipeline));
    ASSERT_TRUE(KVPipelineManager::sharedManager().queueTask(tasks.back()));
  }
  static void writeInfo(const Data& bytes) {
    ASSERT_TRUE(Files::writeAtomically(SettingsPlistViewController::applicationInfoPath(), bytes));
  }
  Value preference(const std::string& key) { return QuillbarkPersistentPreferences::sharedInstance().objectForKey(key); }

  TestRoot root;
  UIDriver ui;
  std::optional<std::string> account;
  std::shared_ptr<SettingsPlistViewController> settings;
  std::vector<std::shared_ptr<ListedTask>> tasks;
};

TEST_F(SettingsScreenTest, CacheSizesAreOfTheRealFoldersAndClearingLeavesThemEmpty) {
  const std::string icons = SettingsPlistViewController::iconCachePath();
  ASSERT_TRUE(Files::createDirectories(icons + "/nested"));
  ASSERT_TRUE(Files::writeAtomically(icons + "/a.png", std::string(1500, 'a')));
  ASSERT_TRUE(Files::writeAtomically(icons + "/nested/b.png", std::string(700, 'b')));
  open();
  EXPECT_EQ(settings->iconCacheBytes(), std::optional<uint64_t>(2200));
  EXPECT_EQ(settings->screenshotCacheBytes(), std::nullopt) << "no folder: no number";
  ASSERT_TRUE(ui.scroll("bottom"));
  std::string text = ui.screen();
  EXPECT_NE(text.find("Icon Cache | 2 KB"), std::string::npos) << text;
  EXPECT_NE(text.find("Screenshot Cache | Zero KB"), std::string::npos) << text;

  ASSERT_TRUE(ui.tap("Clear Icon Cache"));
  EXPECT_TRUE(ui.screenShows("Are you sure you want to delete the icon cache"));
  ASSERT_TRUE(ui.tap("Delete"));
  EXPECT_TRUE(Files::isDirectory(icons));
  EXPECT_TRUE(Files::contentsOfDirectory(icons).empty());
  EXPECT_TRUE(ui.screenShows("Icon Cache | Zero KB"));
  // A cache that was never there is made, empty.
  ASSERT_TRUE(ui.tap("Clear Screenshot Cache"));
  ASSERT_TRUE(ui.tap("Delete"));
  EXPECT_TRUE(Files::isDirectory(SettingsPlistViewController::screenshotCachePath()));
}

TEST_F(SettingsScreenTest, URLSchemesAreWrittenIntoTheBinaryInformationFileOrNothingIsStored) {
  Value info = Value::dict({{"CFBundleIdentifier", "me.korvale.quillbark"},
                            {"Built", Value(Date{700000000.0})},
                            {"CFBundleURLTypes", Value::array({Value::dict({{"CFBundleURLName", "main"},
                                                                            {"CFBundleURLSchemes",
                                                                             Value::array({"quillbark", "sileo"})}})})}});
  writeInfo(info.toBinaryPropertyList());
  open();
  EXPECT_EQ(settings->activeURLSchemes(), "quillbark,sileo") << "read from the list while none is stored";
  ASSERT_TRUE(ui.scroll("bottom"));
  EXPECT_TRUE(ui.screenShows("Answer To | quillbark, sileo"));

  choose("Answer To", "quillbark, cydia");
  auto bytes = Files::read(SettingsPlistViewController::applicationInfoPath());
  ASSERT_TRUE(bytes);
  EXPECT_EQ(std::string(bytes->begin(), bytes->begin() + 8), "bplist00");
  auto written = Value::fromPropertyList(*bytes);
  ASSERT_TRUE(written);
  EXPECT_EQ((*written)["CFBundleURLTypes"][0]["CFBundleURLSchemes"], Value::array({"quillbark", "cydia"}));
  EXPECT_EQ((*written)["CFBundleURLTypes"][0]["CFBundleURLName"], Value("main"));
  EXPECT_EQ((*written)["Built"], info["Built"]);
  EXPECT_EQ(preference("kActiveURLSchemes"), Value("quillbark,cydia"));
  EXPECT_EQ(root.commands(), std::vector<std::string>{ShellCommand::quote(DeviceRoot::devicePath("/usr/bin/uicache"))});

  // A damaged list, and one without URL types: left as they are, nothing stored or run.
  for (const Data& unusable : {dataFromString("bplist00 cut short"),
                               Value::dict({{"CFBundleIdentifier", "x"}}).toBinaryPropertyList()}) {
    writeInfo(unusable);
    choose("Answer To", "quillbark");
    EXPECT_EQ(Files::read(SettingsPlistViewController::applicationInfoPath()), std::optional<Data>(unusable));
    EXPECT_EQ(preference("kActiveURLSchemes"), Value("quillbark,cydia"));
    EXPECT_EQ(root.commands().size(), 1u);
    EXPECT_TRUE(ui.screenShows("Answer To | quillbark, cydia")) << "the picker shows the schemes in force";
  }
  ASSERT_EQ(root.cards().size(), 2u);
  EXPECT_EQ(root.cards()[0].title, "URL Schemes");
}

TEST_F(SettingsScreenTest, AChosenLanguageRebuildsTheInterfaceOneSecondLaterUnlessPackagesAreOnTheirWay) {
  // The rebuilt tabs show no first run, nor a what's-new page for this version.
  QuillbarkPersistentPreferences::sharedInstance().setValue(Value(true), "setupDone");
  QuillbarkPersistentPreferences::sharedInstance().setValue(Value(Bundle::main().shortVersion()), "welcomeScreenVersion");
  open();
  EXPECT_EQ(settings->initialLocaleValue(), "en");
  list(KVPipelinePackageDownloadOperation);
  choose("Interface Language", "Français");
  ASSERT_EQ(root.cards().size(), 1u);
  EXPECT_EQ(root.cards()[0].title, "Language");
  ui.advance(1);
  EXPECT_EQ(LocalizedStrings::language(), "en");
  EXPECT_EQ(ui.window().rootViewController(), settings->navigationController()) << "nothing is rebuilt";
  EXPECT_TRUE(ui.screenShows("Interface Language | English"));

  KVPipelineManager::sharedManager().cancelAllTasksAndDontNotify();
  list(KVPipelineSourceRefresh);
  choose("Interface Language", "Français");
  EXPECT_EQ(LocalizedStrings::language(), "fr");
  EXPECT_EQ(NSBundleLocalizedBundle::storedLanguage(), std::optional<std::string>("fr"));
  EXPECT_TRUE(KVPipelineManager::sharedManager().tasksArray().empty()) << "running tasks are dropped";
  ui.advance(0.9);
  EXPECT_EQ(ui.window().rootViewController(), settings->navigationController());
  ui.advance(0.1);
  EXPECT_NE(dynamic_cast<KVTabBarController*>(ui.window().rootViewController()), nullptr)
      << "the interface is made again";
  EXPECT_TRUE(ui.screenShows("tabs: [À la une] Catégories")) << ui.screen();

  // The system's language for a code the application has no tables for: English.
  NSBundleLocalizedBundle::setLanguage("xx");
  EXPECT_EQ(settings->initialLocaleValue(), "en");
}

TEST_F(SettingsScreenTest, ThePaletteSwitchesExcludeOneAnotherAndEveryScreenFollows) {
  open();
  UIColor light = settings->tableView()->backgroundColor().value_or(UIColor::clearColor());
  EXPECT_EQ(light, UIColor::colorWithRed(0.94, 0.94, 0.96, 1.0)) << "the light palette's grey behind white rows";
  ASSERT_TRUE(ui.toggle("Black Dark Mode"));
  EXPECT_EQ(KVPaletteManager::getActiveStyle(), 3u);
  ASSERT_TRUE(ui.toggle("Blue Dark Mode"));
  EXPECT_EQ(KVPaletteManager::getActiveStyle(), 1u);
  EXPECT_EQ(preference("TrueDarkMode"), Value(false));
  EXPECT_EQ(preference("DarkMode"), Value(true));
  EXPECT_TRUE(ui.screenShows("Black Dark Mode | | [off]"));
  EXPECT_EQ(settings->tableView()->backgroundColor(), KVPaletteManager::paletteForStyle(1)->backgroundColor());
}

TEST_F(SettingsScreenTest, RowsReachTheSourcesTheAccountAndTheImport) {
  open();
  ASSERT_TRUE(ui.scroll("bottom"));
  EXPECT_TRUE(ui.screenShows("Account Name | Not signed in"));
  account = "alice";
  settings->tableView()->reloadData();
  EXPECT_TRUE(ui.screenShows("Account Name | alice"));
  ASSERT_TRUE(ui.tap("Share Account Name"));
  ASSERT_FALSE(UIActivityViewController::shownSheets().empty());
  EXPECT_EQ(UIActivityViewController::shownSheets().back()->activityItems()[0].text, "My Korvale account name is \"alice\"");
  ASSERT_TRUE(ui.close());

  int refreshes = root.sources->refreshes;
  ASSERT_TRUE(ui.scroll("top"));
  ASSERT_TRUE(ui.tap("Refresh All Sources"));
  EXPECT_EQ(root.sources->refreshes, refreshes + 1);
  ASSERT_TRUE(ui.tap("Import Sources"));
  EXPECT_TRUE(ui.screenShows("title: Import Sources\nover: Settings")) << ui.screen();
}

// The cell that nothing in the application makes: the keys that need more than a stored
// value.
TEST_F(SettingsScreenTest, ASettingsCellAsksTheOwnerOrForPermissionAndKeepsThePalettesExclusive) {
  ui.show(std::make_shared<UIViewController>());
  auto cell = std::make_shared<SettingsCell>();
  auto flip = [&](const std::string& key) {
    cell->setKeyToCheck(key);
    cell->setOptionState();
    cell->optionSwitch()->toggleByUser();
  };
  auto alertTitle = [&]() -> std::string {
    RunLoop::main().runUntil([&] { return ui.window().rootViewController()->presentedViewController() != nullptr; }, 10);
    auto* alert = dynamic_cast<UIAlertController*>(ui.window().rootViewController()->presentedViewController());
    std::string title = alert ? alert->title() : "";
    if (alert) ui.close();
    return title;
  };
  QuillbarkPersistentPreferences::sharedInstance().setValue(Value(true), "DarkMode");
  flip("TrueDarkMode");
  EXPECT_EQ(preference("DarkMode"), Value(false));
  EXPECT_EQ(KVPaletteManager::getActiveStyle(), 3u);

  flip("AuthenticationForPackagesManagementTasks");  // nothing set up on this device
  EXPECT_EQ(alertTitle(), "Quillbark Authentication");
  EXPECT_FALSE(cell->optionSwitch()->isOn());
  EXPECT_FALSE(preference("AuthenticationForPackagesManagementTasks").asBool()) << "nothing stored";
  root.setOwnerAuthentication(KVOwnerAuthentication::Succeeded);
  flip("AuthenticationForPackagesManagementTasks");
  ASSERT_TRUE(RunLoop::main().runUntil(
      [&] { return preference("AuthenticationForPackagesManagementTasks") == Value(true); }, 10));
  EXPECT_EQ(root.authenticationReasons().back(),
            "Please authenticate yourself to activate FaceID / TouchID / Password authentication for packages "
            "management tasks");

  auto& centre = UNUserNotificationCenter::currentNotificationCenter();
  centre.setOwnerAnswer(false);
  UNUserNotificationCenterDelegate* before = centre.delegate();
  QuillbarkPersistentPreferences::sharedInstance().setValue(Value(false), "ShowNotificationsInsteadOfErrorAlerts");
  flip("ShowNotificationsInsteadOfErrorAlerts");
  EXPECT_EQ(alertTitle(), "Quillbark Notifications");
  EXPECT_EQ(preference("ShowNotificationsInsteadOfErrorAlerts"), Value(true));
  EXPECT_EQ(centre.delegate(), cell.get());
  cell.reset();
  EXPECT_EQ(centre.delegate(), before) << "the cell is no delegate once it is gone";
  centre.setOwnerAnswer(true);
}

}  // namespace
