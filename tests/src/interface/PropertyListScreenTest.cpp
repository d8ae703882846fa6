// The screens described by a property list: what each kind of row shows and calls, the
// switches bound to preference keys with the keys they drag along and the device owner's
// answer in front of them, and the picker rows.
#include <gtest/gtest.h>

#include <any>
#include <set>

#include "core/QuillbarkPersistentPreferences.h"
#include "foundation/Files.h"
#include "interface/ChangelogViewController.h"
#include "interface/KVPaletteManager.h"
#include "interface/KVUIPickerCell.h"
#include "interface/SettingsPlistViewController.h"
#include "interface/RootViewController.h"
#include "support/TestRoot.h"
#include "support/UIDriver.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIAlertController.h"
#include "uikit/UINavigationController.h"
#include "uikit/UISwitch.h"

namespace {

class TestScreen : public RootViewController {
 public:
  explicit TestScreen(Value data) : RootViewController(std::move(data)) {
    exposeSelector("detailAction", [this] { calls.push_back("detail"); });
    exposeSelector("plainAction", [this] { calls.push_back("action"); });
    exposeSelector("changed", [this] { calls.push_back("callback"); });
    exposeSelector("flipped", [this](const std::any& sender) {
      calls.push_back(std::any_cast<UIControl*>(sender) ? "flipped" : "no sender");
    });
    exposeStringSelector("greeting", [] { return std::optional<std::string>("Hello"); });
    exposeStringSelector("nobody", [] { return std::optional<std::string>(); });
  }
  void pickerCellDidPickRow(KVUIPickerCell&, long row, const Value& value) override { picks.emplace_back(row, value); }
  void pickerCellDidFinalizeSelectionWithRow(KVUIPickerCell&, long row, const Value& value) override {
    finals.emplace_back(row, value);
  }

  std::vector<std::string> calls;
  std::vector<std::pair<long, Value>> picks, finals;
};

Value rows(Value::Array items) {
  return Value::dict({{"title", "Things"}, {"sections", Value::array({Value::dict({{"rows", Value(std::move(items))}})})}});
}

Value switchRow(const std::string& key, std::initializer_list<std::pair<const std::string, Value>> extra = {}) {
  Value row = Value::dict({{"title", key}, {"control", "switch"}, {"prefsKey", key}});
  for (const auto& [field, value] : extra) row.set(field, value);
  return row;
}

class PropertyListScreenTest : public ::testing::Test {
 protected:
  std::shared_ptr<TestScreen> show(Value data) {
    screen = std::make_shared<TestScreen>(std::move(data));
    ui.show(std::make_shared<UINavigationController>(screen));
    return screen;
  }
  UISwitch* switchAt(long row) {
    auto cell = screen->tableView()->cellForRowAtIndexPath({0, row});
    return cell ? dynamic_cast<UISwitch*>(cell->accessoryView().get()) : nullptr;
  }
  Value stored(const std::string& key) { return QuillbarkPersistentPreferences::sharedInstance().objectForKey(key); }

  TestRoot root;
  UIDriver ui;
  std::shared_ptr<TestScreen> screen;
};

TEST_F(PropertyListScreenTest, RowsShowWhatTheirDescriptionSaysAndTapsCallTheirDetailFirst) {
  show(rows({
      Value::dict({{"header", "greeting"}, {"footer", "ignored"}, {"title", "ignored too"}}),
      Value::dict({{"footer", "Small print"}}),
      Value::dict({{"title", "greeting"}, {"subtitle", "nobody"}, {"cellStyle", "bogus"}}),
      Value::dict({{"title", "Odd"}, {"control", "slider"}}),
      Value::dict({{"title", "Both"}, {"detail", "detailAction"}, {"action", "plainAction"}}),
      Value::dict({{"title", "Missing"}, {"detail", "noSuchMethod"}, {"action", "plainAction"}}),
      Value::dict({{"title", "Plain"}, {"control", "button"}, {"action", "plainAction"}}),
      Value::dict({{"title", "Flip"}, {"control", "switch"}, {"action", "flipped"}}),
  }));
  EXPECT_EQ(screen->title(), "Things");
  std::string text = ui.screen();
  for (const char* line : {"0.0: Hello\n", "0.1: Small print\n", "0.2: Hello | nobody\n", "0.3: Odd\n", "0.4: Both | | >\n",
                           "0.7: Flip | | [off]\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line << text;
  // An unknown style gives the screen's own, but the row is reused under its text.
  auto odd = screen->tableView()->cellForRowAtIndexPath({0, 2});
  EXPECT_EQ(odd->style(), UITableViewCellStyleSubtitle);
  EXPECT_EQ(odd->reuseIdentifier(), "cellbogus");

  ASSERT_TRUE(ui.tap("0.4"));
  ASSERT_TRUE(ui.tap("0.5"));  // its detail is no method of the screen: skipped, the action too
  ASSERT_TRUE(ui.tap("0.6"));
  ASSERT_TRUE(ui.toggle("Flip"));
  EXPECT_EQ(screen->calls, (std::vector<std::string>{"detail", "action", "flipped"}));
  EXPECT_EQ(screen->lastSelectedIndexPath(), (NSIndexPath{0, 6}));

  screen->setData(Value::dict({{"title", "Empty"}}));
  EXPECT_EQ(screen->title(), "Empty");
  EXPECT_NE(ui.screen().find("table: 0 rows"), std::string::npos);
}

TEST_F(PropertyListScreenTest, ASwitchStoresItsKeyAndTheKeysItNamesAndTheirSwitchesFollow) {
  show(rows({switchRow("A", {{"disablesKeys", Value::array({"B"})},
                             {"enableKeys", Value::array({"C"})},
                             {"additionalKeys", Value::array({"D"})},
                             {"invertedAdditionalKeys", Value::array({"E"})},
                             {"callback", "changed"}}),
             switchRow("B"), switchRow("C"), switchRow("D"), switchRow("E")}));
  QuillbarkPersistentPreferences::sharedInstance().setValue(Value(true), "B");
  screen->tableView()->reloadData();
  ASSERT_TRUE(ui.toggle("A"));
  EXPECT_EQ(stored("A"), Value(true));
  EXPECT_EQ(stored("B"), Value(false));
  EXPECT_EQ(stored("C"), Value(true));
  EXPECT_EQ(stored("D"), Value(true));
  EXPECT_EQ(stored("E"), Value(0)) << "the inverse is stored as an integer";
  EXPECT_FALSE(switchAt(1)->isOn());
  EXPECT_TRUE(switchAt(2)->isOn());
  EXPECT_TRUE(switchAt(3)->isOn());
  EXPECT_FALSE(switchAt(4)->isOn());

  ASSERT_TRUE(ui.toggle("A"));
  EXPECT_EQ(stored("A"), Value(false));
  EXPECT_EQ(stored("D"), Value(false));
  EXPECT_EQ(stored("E"), Value(1));
  EXPECT_TRUE(switchAt(4)->isOn());
  EXPECT_EQ(screen->calls, (std::vector<std::string>{"callback", "callback"}));
  Files::createDirectories(Files::deletingLastPathComponent(QuillbarkPersistentPreferences::preferencesPath()));
  ui.advance(1.5);
  auto file = Value::fromPropertyListFile(QuillbarkPersistentPreferences::preferencesPath());
  ASSERT_TRUE(file);
  EXPECT_TRUE((*file)["E"].isInteger());
  EXPECT_TRUE((*file)["A"].isBool());
}

TEST_F(PropertyListScreenTest, AGuardedSwitchChangesOnlyWhenTheOwnerAuthenticates) {
  show(rows({switchRow("G", {{"requiresAuthentication", true}})}));
  const std::string reason =
      "Please authenticate yourself to activate FaceID / TouchID / Password authentication for packages management tasks";

  // Nothing set up on the device: the switch goes back and the alert says why.
  ASSERT_TRUE(ui.toggle("G"));
  EXPECT_EQ(stored("G"), Value());
  EXPECT_FALSE(switchAt(0)->isOn());
  auto* alert = dynamic_cast<UIAlertController*>(ui.window().rootViewController()->presentedViewController());
  ASSERT_NE(alert, nullptr);
  EXPECT_EQ(alert->title(), "Quillbark Authentication");
  ASSERT_TRUE(ui.tap("Close"));

  root.setOwnerAuthentication(KVOwnerAuthentication::Succeeded);
  ASSERT_TRUE(ui.toggle("G"));
  EXPECT_EQ(stored("G"), Value(true));
  root.setOwnerAuthentication(KVOwnerAuthentication::Failed);
  ASSERT_TRUE(ui.toggle("G"));
  EXPECT_EQ(stored("G"), Value(true));
  EXPECT_TRUE(switchAt(0)->isOn()) << "a refusal puts the switch back";
  EXPECT_EQ(ui.window().rootViewController()->presentedViewController(), nullptr) << "and shows no alert";
  EXPECT_EQ(root.authenticationReasons(), (std::vector<std::string>{reason, reason, reason}));
}

// The answer comes later, on another thread: it lands on the row that was asked about,
// whatever the table shows by then, and on nothing when that row is gone.
TEST_F(PropertyListScreenTest, ALateAnswerLandsOnTheRowItWasAskedForOrNowhere) {
  std::vector<std::function<void(KVOwnerAuthentication)>> pending;
  KVEnvironment environment = root.environment();
  environment.authenticateDeviceOwner = [&](const std::string&, std::function<void(KVOwnerAuthentication)> reply) {
    pending.push_back(std::move(reply));
  };
  TestRoot deferred(environment);
  auto answer = [&](KVOwnerAuthentication outcome) {
    std::thread([reply = pending.back(), outcome] { reply(outcome); }).join();
    ui.runUntilIdle();
  };
  show(rows({switchRow("G", {{"requiresAuthentication", true}}), switchRow("H")}));

  ASSERT_TRUE(ui.toggle("G"));
  ASSERT_EQ(pending.size(), 1u);
  KVPaletteManager::sharedPaletteManager().setActiveStyle(3);  // every row is made again meanwhile
  ui.runUntilIdle();
  EXPECT_FALSE(switchAt(0)->isOn()) << "the new row shows what is stored";
  answer(KVOwnerAuthentication::Succeeded);
  EXPECT_EQ(stored("G"), Value(true));
  EXPECT_TRUE(switchAt(0)->isOn());

  ASSERT_TRUE(ui.toggle("G"));
  screen->setData(rows({switchRow("H"), switchRow("G", {{"requiresAuthentication", true}})}));
  answer(KVOwnerAuthentication::Succeeded);
  EXPECT_EQ(stored("G"), Value(true)) << "the row asked about is gone: the answer changes nothing";
  EXPECT_EQ(stored("H"), Value());

  ASSERT_TRUE(ui.toggle("G"));
  ui.window().setRootViewController(nullptr);
  screen.reset();
  answer(KVOwnerAuthentication::Succeeded);
  EXPECT_EQ(stored("G"), Value(true)) << "nor once the screen is gone";
}

TEST_F(PropertyListScreenTest, APickerRowOpensIntoAWheelAndReportsTheChoiceItClosesOn) {
  Value::Array items{Value::dict({{"title", "Colour"},
                                  {"cellType", "picker"},
                                  {"titles", Value::array({"Red", "Green", "Blue"})},
                                  {"values", Value::array({"r", "g", "b"})},
                                  {"initialValue", "g"}})};
  for (int i = 0; i < 30; ++i) items.push_back(Value::dict({{"title", "Filler " + std::to_string(i)}}));
  show(rows(items));
  UITableView* table = screen->tableView();
  auto* cell = dynamic_cast<KVUIPickerCell*>(table->cellForRowAtIndexPath({0, 0}).get());
  ASSERT_NE(cell, nullptr);
  EXPECT_TRUE(ui.screenShows("0.0: Colour | Green\n"));
  EXPECT_EQ(table->rectForRowAtIndexPath({0, 0}).height(), 44);

  ASSERT_TRUE(ui.tap("Colour"));
  EXPECT_TRUE(cell->isExpanded());
  EXPECT_EQ(table->rectForRowAtIndexPath({0, 0}).height(), 260);
  EXPECT_EQ(cell->pickerHeightConstraint()->constant(), 216);
  EXPECT_TRUE(ui.screenShows("0.0: Select | | picker: Red | (Green) | Blue\n"));
  ASSERT_TRUE(ui.pick("Red"));
  ASSERT_TRUE(ui.pick("Blue"));
  EXPECT_EQ(screen->picks, (std::vector<std::pair<long, Value>>{{0, "r"}, {1, "g"}, {2, "b"}}))
      << "every row the wheel passes";
  EXPECT_EQ(cell->detailTextLabel()->text(), "Green") << "the row's text waits for the close";
  EXPECT_TRUE(screen->finals.empty());

  ASSERT_TRUE(ui.tap("Select"));
  EXPECT_EQ(table->rectForRowAtIndexPath({0, 0}).height(), 44);
  EXPECT_EQ(screen->finals, (std::vector<std::pair<long, Value>>{{2, "b"}}));
  EXPECT_TRUE(ui.screenShows("0.0: Colour | Blue\n"));

  // Closed without a turn of the wheel, it reports its choice all the same; one that
  // leaves the screen open closes and reports it too.
  ASSERT_TRUE(ui.tap("Colour"));
  ASSERT_TRUE(ui.tap("Select"));
  ASSERT_TRUE(ui.tap("Colour"));
  ASSERT_TRUE(ui.scroll("bottom"));
  EXPECT_FALSE(cell->isExpanded());
  EXPECT_EQ(screen->finals, (std::vector<std::pair<long, Value>>{{2, "b"}, {2, "b"}, {2, "b"}}));
}

// The application's changelog: Done only when presented (pushed, the way back leads
// back), the light palette's grey behind white rows, its header recoloured on a change.
TEST_F(PropertyListScreenTest, TheChangelogClosesWithDoneOnlyWhenPresentedAndFollowsThePalette) {
  auto navigation = std::make_shared<UINavigationController>(std::make_shared<UIViewController>());
  ui.show(navigation);
  auto pushed = std::make_shared<ChangelogViewController>();
  navigation->pushViewController(pushed, false);
  EXPECT_TRUE(ui.screenShows("0.0: Version 5.0\n")) << ui.screen();
  EXPECT_EQ(pushed->navigationItem().rightBarButtonItem(), nullptr);
  EXPECT_EQ(pushed->tableView()->backgroundColor(), UIColor::colorWithRed(0.94, 0.94, 0.96, 1.0));

  auto presented = std::make_shared<ChangelogViewController>();
  navigation->presentViewController(std::make_shared<UINavigationController>(presented), false);
  ui.runUntilIdle();
  EXPECT_NE(presented->navigationItem().rightBarButtonItem(), nullptr);
  QuillbarkPersistentPreferences::sharedInstance().setValue(Value(true), "TrueDarkMode");
  KVPaletteManager::updatePaletteFromSettings();
  ui.runUntilIdle();
  auto black = KVPaletteManager::paletteForStyle(3);
  EXPECT_EQ(presented->headerLabel()->textColor(), black->primaryTextColor());
  EXPECT_EQ(presented->tableView()->backgroundColor(), black->backgroundColor());
  ASSERT_TRUE(ui.tap("Done"));
  EXPECT_EQ(navigation->presentedViewController(), nullptr);
}

// What the application's own lists name: every action of "Settings" is one its screen
// answers, and "Account" names every selector of the account screen.
TEST_F(PropertyListScreenTest, TheApplicationsListsNameWhatTheirScreensAnswer) {
  auto named = [](const Value& data, std::initializer_list<const char*> fields) {
    std::set<std::string> names;
    for (const Value& section : *data["sections"].arrayPtr())
      for (const Value& row : *section["rows"].arrayPtr())
        for (const char* field : fields)
          if (const std::string* name = row[field].stringPtr()) names.insert(*name);
    return names;
  };
  SettingsPlistViewController settings(screenContext(), [] { return std::nullopt; });
  for (const auto& name : named(settings.data(), {"action", "detail", "callback", "initialValue"}))
    EXPECT_TRUE(settings.respondsToSelector(name)) << name;
  Value account = RootViewController::dataWithPlist("Account");
  EXPECT_EQ(named(account, {"action", "detail"}),
            (std::set<std::string>{"signInOut", "openPurchased", "openCommercialStores", "openWishlist", "openFollowed",
                                   "openDownloadHistory", "createBackup", "openBackup", "openSettings", "openCredits",
                                   "openChangelog", "openGithubIssues", "openDiscordJoin", "openCroudinProject",
                                   "openTwitter", "openKorvaleWebsite", "openKorvalePatreon"}));
  EXPECT_TRUE(named(account, {"title"}).count("signInOutButtonTitle"));
}

TEST(PickerCell, AChoiceThatIsNotThereKeepsTheOneMadeAndNothingReadsOutOfRange) {
  UIDriver ui;
  KVUIPickerCell cell;
  EXPECT_EQ(cell.currentTitle(), std::nullopt) << "no titles yet";
  cell.setTitleSource({"One", "Two"});
  cell.setValueSource({Value(1)});
  cell.selectTitle("Two");
  EXPECT_EQ(cell.selectedIndex(), 1);
  cell.selectValue(Value(7));
  cell.selectTitle("Three");
  cell.setSelectedIndex(5);
  EXPECT_EQ(cell.selectedIndex(), 1);
  EXPECT_EQ(cell.currentTitle(), std::optional<std::string>("Two"));
  EXPECT_EQ(cell.currentValue(), std::nullopt) << "fewer values than titles";

  cell.setExpandedHeight(300);
  EXPECT_EQ(cell.heightForCell(), 44);
  cell.setSelectedWithTableView(nullptr);
  EXPECT_EQ(cell.heightForCell(), 300);
  EXPECT_EQ(cell.pickerHeightConstraint()->constant(), 256);
  EXPECT_EQ(cell.doneLabel()->text(), "Select");
}

}  // namespace
