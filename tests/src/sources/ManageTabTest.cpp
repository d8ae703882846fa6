// The manage tab on real refreshes: sources added from the pasteboard (real repositories,
// one under a path holding "-"), the rows and their swipes, Copy, what a row opens,
// removal behind the owner's authentication, the counts made again when the page comes
// back, the page as long as its sources from its load, and the pull that always ends.
#include <gtest/gtest.h>

#include "core/QuillbarkPersistentPreferences.h"
#include "foundation/LocalizedStrings.h"
#include "interface/KVPaletteManager.h"
#include "interface/SegmentedViewController.h"
#include "sources/ManageViewController.h"
#include "sources/SourceViewController.h"
#include "sources/SourcesCell.h"
#include "support/SourceRefreshFixture.h"
#include "support/TestData.h"
#include "support/TestRoot.h"
#include "support/UIDriver.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIAlertController.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIPasteboard.h"
#include "uikit/UIRefreshControl.h"

namespace {

class ManageTabTest : public SourceRefreshFixture {
 protected:
  void TearDown() override {
    UIPasteboard::generalPasteboard().reset();
    ui.window().setRootViewController(nullptr);
    manage.reset();
    SourceRefreshFixture::TearDown();
  }
  void open() {
    manage = std::make_shared<ManageViewController>(screenContext());
    navigation = std::make_shared<UINavigationController>(manage);
    ui.show(navigation);
  }
  // A real repository's Release and index, served under `folder`.
  std::string serveReal(const std::string& repos, const std::string& from, const std::string& folder) {
    std::string location = locationOf(folder);
    for (const char* file : {"Release", "Packages"})
      EXPECT_TRUE(Files::copyItem(repos + "/" + from + "/" + file, repositories.file(folder) + "/" + file));
    return location;
  }
  SourcesCell* row(const std::string& name) {
    for (auto& cell : manage->sourcesTableView()->visibleCells())
      if (auto* row = dynamic_cast<SourcesCell*>(cell.get()); row && row->nameLbl()->text() == name) return row;
    return nullptr;
  }
  std::vector<std::string> swipes(const std::string& name) {
    std::vector<std::string> titles;
    auto path = manage->sourcesTableView()->indexPathForCell(row(name));
    if (path)
      for (auto& action : manage->sourcesTableView()->swipeActionsForRow(*path)) titles.push_back(action.title);
    return titles;
  }
  void edit(const std::string& location, const std::function<void(KVRSource&)>& change) {
    written(db()->write([&] {
      auto record = *source(location);
      change(record);
      db()->addOrUpdate(record.toObject());
    }));
  }
  // Runs the main loop until the page shows what is awaited (the store tells of a commit
  // a moment after it).
  bool waitFor(const std::function<bool()>& shown) { return RunLoop::main().runUntil(shown, 30); }

  UIDriver ui;
  std::shared_ptr<ManageViewController> manage;
  std::shared_ptr<UINavigationController> navigation;
};

TEST_F(ManageTabTest, TheSourcesOnThePasteboardAreAddedWhole) {
  QB_TESTDATA_OR_SKIP(repos, "repos");
  std::string nepeta = serveReal(repos, "nepeta", "nepeta-mirror");
  std::string utm = serveReal(repos, "utm", "utm");
  std::string known = serveIndex("known", stanza("com.example.known", "1.0"));
  ASSERT_TRUE(refresh(known));
  open();
  EXPECT_TRUE(waitFor([&] { return manage->sourcesTableViewHeightConstraint()->constant() == 99; }));

  UIPasteboard::generalPasteboard().setString("Add " + nepeta + ", then " + utm + " (and " + known + ").");
  ASSERT_TRUE(ui.tap("Add")) << ui.screen();
  auto* alert = dynamic_cast<UIAlertController*>(ui.front());
  ASSERT_TRUE(alert) << ui.screen();
  EXPECT_EQ(alert->title(), "Repositories Detected");
  EXPECT_EQ(alert->message(), "Would you like to add: \r\n" + nepeta + "\r" + utm);
  ASSERT_TRUE(ui.tap("Yes"));
  // The additions are written and their refreshes queued in the background.
  auto refreshed = [&](const std::string& location) {
    auto record = source(location);
    return record && record->totalPackages().value_or(" ") != " ";
  };
  ASSERT_TRUE(waitFor([&] { return refreshed(nepeta) && refreshed(utm); }));
  ASSERT_TRUE(waitForPipeline(120));
  ASSERT_TRUE(waitFor([&] { return row("UTM") && row("Nepeta (MIRROR)"); })) << ui.screen();

  for (const auto& [location, name] : {std::pair{nepeta, "Nepeta (MIRROR)"}, std::pair{utm, "UTM"}}) {
    ASSERT_TRUE(source(location)) << location;
    EXPECT_FALSE(source(location)->hasErrors().value_or(false)) << location;
    auto* shown = row(name);
    ASSERT_TRUE(shown) << ui.screen();
    EXPECT_EQ(shown->totalPackagesLbl()->text(), source(location)->totalPackages().value_or("?"));
    EXPECT_EQ(shown->installedPackagesLbl()->text(), "0");
    EXPECT_EQ(shown->sourceLocation(), location);
  }
  EXPECT_EQ(std::to_string(packagesOf(nepeta).size()), source(nepeta)->totalPackages()) << "the whole index";
  EXPECT_GT(packagesOf(nepeta).size(), 40u);
  EXPECT_EQ(manage->sourcesTableViewHeightConstraint()->constant(), 3 * 99);
}

TEST_F(ManageTabTest, WithoutANewAddressTheFormOpens) {
  std::string known = serveIndex("known", stanza("com.example.known", "1.0"));
  ASSERT_TRUE(refresh(known));
  open();
  UIPasteboard::generalPasteboard().setString(known);
  ASSERT_TRUE(ui.tap("Add"));
  auto* form = dynamic_cast<SourceViewController*>(ui.front());
  ASSERT_TRUE(form) << ui.screen();
  EXPECT_FALSE(form->sourceLocation());
  ASSERT_TRUE(ui.close());

  // "No" to what the pasteboard holds opens the form as well.
  UIPasteboard::generalPasteboard().setString("http://127.0.0.1:9/other-repo/");
  ASSERT_TRUE(ui.tap("Add"));
  ASSERT_TRUE(ui.tap("No"));
  EXPECT_TRUE(dynamic_cast<SourceViewController*>(ui.front())) << ui.screen();
}

TEST_F(ManageTabTest, RowsSwipesCopyAndWhatTheyOpen) {
  std::string full = serveIndex("full", stanza("com.example.full", "1.0"));
  ASSERT_TRUE(refresh(full));
  std::string vendor = SourceViewController::vendorRepositoryLocation();
  std::string broken = locationOf("broken");
  addSourceRecord(vendor);
  addSourceRecord(broken);
  edit(vendor, [](KVRSource& s) { s.setName(std::string("Vendor")); });
  edit(broken, [](KVRSource& s) {
    s.setName(std::string(""));
    s.setDescription(std::string("Gone"));
    s.setHasErrors(true);
  });
  open();
  ASSERT_TRUE(waitFor([&] { return row("Vendor") != nullptr; }));
  ui.advance(61);  // the ticker has run
  SourcesCell* failed = row("Invalid Source");
  ASSERT_TRUE(failed) << ui.screen();
  UIColor red = KVPaletteManager::getActivePalette()->errorTextColor();
  EXPECT_EQ(failed->nameLbl()->textColor(), red);
  EXPECT_EQ(failed->descriptionLbl()->textColor(), red);
  EXPECT_EQ(failed->lastRepoRegenLbl()->text(), "never");
  EXPECT_EQ(swipes("Vendor"), (std::vector<std::string>{"Refresh", "Info"}));
  std::string fullName = source(full)->name().value_or("");
  EXPECT_EQ(swipes(fullName), (std::vector<std::string>{"Remove", "Refresh", "Info"}));

  ASSERT_TRUE(ui.menuRow(fullName, "Copy")) << ui.screen();
  EXPECT_EQ(UIPasteboard::generalPasteboard().string(), full);

  // A row always shows its own source: the description that went shows nothing.
  edit(broken, [](KVRSource& s) { s.setDescription(std::nullopt); });
  EXPECT_TRUE(waitFor([&] { return row("Invalid Source")->descriptionLbl()->text().empty(); })) << ui.screen();

  ASSERT_TRUE(ui.tap("Invalid Source"));
  EXPECT_TRUE(dynamic_cast<SourceViewController*>(ui.front())) << "a failed source opens its page";
  ASSERT_TRUE(ui.back());
  ASSERT_TRUE(ui.tap("Vendor"));
  EXPECT_TRUE(dynamic_cast<SourceViewController*>(ui.front())) << "no packages: the page alone";
  ASSERT_TRUE(ui.back());
  ASSERT_TRUE(ui.tap(fullName));
  auto* both = dynamic_cast<SegmentedViewController*>(ui.front());
  ASSERT_TRUE(both) << ui.screen();
  EXPECT_EQ(both->title(), fullName);
  EXPECT_EQ(both->viewTitles(), (std::vector<std::string>{"Categories", "Source Info"}));
  ASSERT_TRUE(ui.back());
  ASSERT_TRUE(ui.swipeRow(fullName, "Info"));
  EXPECT_TRUE(dynamic_cast<SourceViewController*>(ui.front()));
  EXPECT_TRUE(ui.screenShows("[Close]")) << ui.screen();
}

TEST_F(ManageTabTest, RemovalAsksTheOwnerWhenTheSettingsSaySo) {
  std::string location = serveIndex("going", stanza("com.example.going", "1.0"));
  ASSERT_TRUE(refresh(location));
  std::string name = source(location)->name().value_or("");
  preferences().setObject(Value(true), "AuthenticationForPackagesManagementTasks");
  open();
  for (auto [answer, message] :
       {std::pair{KVOwnerAuthentication::Unavailable, "Your device can't use FaceID, TouchID or password"},
        std::pair{KVOwnerAuthentication::Failed, "Failed to authenticate yourself. Try again."}}) {
    root->setOwnerAuthentication(answer);
    ASSERT_TRUE(ui.swipeRow(name, "Remove")) << ui.screen();
    ui.runUntilIdle();
    auto* alert = dynamic_cast<UIAlertController*>(ui.front());
    ASSERT_TRUE(alert) << ui.screen();
    EXPECT_EQ(alert->title(), "Quillbark Authentication");
    EXPECT_EQ(alert->message().value_or("").rfind(message, 0), 0u) << alert->message().value_or("");
    ASSERT_TRUE(ui.close());
    DispatchQueue::drainGlobalQueues();
    EXPECT_TRUE(source(location)) << "nothing is removed";
  }
  EXPECT_EQ(root->authenticationReasons().back(), "Please authenticate yourself to remove " + name);

  root->setOwnerAuthentication(KVOwnerAuthentication::Succeeded);
  ASSERT_TRUE(ui.swipeRow(name, "Remove"));
  waitFor([&] { return !source(location) && manage->sourcesTableView()->numberOfRowsInSection(0) == 0; });
  EXPECT_FALSE(source(location));
  EXPECT_EQ(sourcesList().find(location), std::string::npos);
  EXPECT_EQ(manage->sourcesTableViewHeightConstraint()->constant(), 0);
}

TEST_F(ManageTabTest, CountsAreMadeAgainWhenThePageComesBack) {
  std::string location = serveIndex("counted", stanza("com.example.counted", "1.0"));
  ASSERT_TRUE(refresh(location));
  std::string name = source(location)->name().value_or("");
  open();
  waitFor([&] { return row(name) && row(name)->installedPackagesLbl()->text() == "0"; });
  ASSERT_EQ(row(name)->installedPackagesLbl()->text(), "0");
  // Another screen covers the page while the package is installed.
  navigation->pushViewController(std::make_shared<UIViewController>(), false);
  ui.runUntilIdle();
  written(db()->write([&] {
    auto record = *package("com.example.counted");
    record.setIsInstalled(true);
    record.setInstallDate(Date::now());
    db()->addOrUpdate(record.toObject());
  }));
  ui.runUntilIdle();
  ASSERT_TRUE(ui.back());
  // The count and the installed packages' card are made again apart, each when it can.
  waitFor([&] { return row(name)->installedPackagesLbl()->text() == "1" && ui.screenShows("0.0: com.example.counted"); });
  EXPECT_EQ(row(name)->installedPackagesLbl()->text(), "1");
  EXPECT_TRUE(ui.screenShows("0.0: com.example.counted")) << ui.screen();
  EXPECT_EQ(manage->installedPackagesTableViewHeightConstraint()->constant(), 70);

  // A press on the card opens every installed package.
  ASSERT_TRUE(ui.longPress("Installed Packages"));
  EXPECT_EQ(ui.front()->title(), NSLocalizedString("__INSTALLED_PACKAGES__")) << ui.screen();
}

// The page is as long as the sources it shows from its load, before the store's first
// notice (worked out off the main thread): a scroll to its bottom reaches the last one.
TEST_F(ManageTabTest, ThePageEndsAtTheLastSourceFromItsLoad) {
  for (int i = 10; i < 22; ++i) addSourceRecord("http://127.0.0.1:9/s" + std::to_string(i) + "/");
  manage = std::make_shared<ManageViewController>(screenContext());
  manage->loadViewIfNeeded();  // no turn of the main loop: no notice has come
  EXPECT_EQ(manage->sourcesTableViewHeightConstraint()->constant(), 12 * ManageViewController::kSourceRowHeight);
  EXPECT_GT(manage->scrollView()->contentSize().height, 12 * ManageViewController::kSourceRowHeight);
}

TEST_F(ManageTabTest, APullEndsEvenWhileARefreshRuns) {
  open();
  manage->scrollView();  // loaded
  manager().setIsRefreshInProgress(true);
  ASSERT_TRUE(ui.pullToRefresh());
  EXPECT_FALSE(manage->refreshController()->isRefreshing());
  EXPECT_TRUE(KVPipelineManager::sharedManager().tasksArray().empty()) << "no second refresh";
  manager().setIsRefreshInProgress(false);
}

}  // namespace
