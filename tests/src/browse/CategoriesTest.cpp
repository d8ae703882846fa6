// The categories tab and its rows: the groups folded from real repositories' sections,
// the accordion on a real table, the rules of the row pictures, the rebuild that closes
// the groups (also while the screen reads), and the updated-packages row.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "BrowseFixture.h"
#include "browse/CategoriesCell.h"
#include "browse/CategoriesTableViewController.h"
#include "browse/KVCategoryGroups.h"
#include "browse/PackagesTableViewController.h"
#include "browse/SubcategoriesViewController.h"
#include "interface/ErrorViewController.h"
#include "support/DebBuilder.h"
#include "support/RecordingScreens.h"
#include "support/TestData.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIScrollView.h"

namespace {

TEST(CategoryGroups, NamesFoldUnderTheGroupTheyBeginWithAndOneGroupIsOpen) {
  KVCategoryGroups groups;
  groups.rebuild({"Addons (Flipswitch)", "Addons (Activator)", "App Addons", "SpringBoard Addon", "Themes", "tweaks",
                  "Tweaks", "Utilities", "Utilities"});
  // "tweaks" begins with no group word as written; "Tweaks" is a member, never a header.
  EXPECT_EQ(groups.rows(), (std::vector<std::string>{"Addons   ", "App Addons", "SpringBoard Addon", "Themes   ", "tweaks",
                                                     "Tweaks   ", "Utilities"}));
  EXPECT_EQ(groups.members(KVCategoryGroups::Addons), (std::vector<std::string>{"Addons (Flipswitch)", "Addons (Activator)"}));
  EXPECT_FALSE(groups.rowOfHeader(KVCategoryGroups::Widgets)) << "a group without members has no header";

  std::vector<long> inserted, deleted;
  auto in = [&](const std::vector<long>& rows) { inserted = rows; };
  auto out = [&](const std::vector<long>& rows) { deleted.insert(deleted.end(), rows.begin(), rows.end()); };
  groups.toggle(KVCategoryGroups::Addons, in, out);
  EXPECT_EQ(inserted, (std::vector<long>{1, 2}));
  groups.toggle(KVCategoryGroups::Tweaks, in, out);
  EXPECT_EQ(deleted, (std::vector<long>{1, 2})) << "opening the tweaks closes the add-ons";
  EXPECT_EQ(groups.rows(), (std::vector<std::string>{"Addons   ", "App Addons", "SpringBoard Addon", "Themes   ", "tweaks",
                                                     "Tweaks   ", "Tweaks", "Utilities"}));
  EXPECT_TRUE(groups.isCollapsed(KVCategoryGroups::Addons));
  deleted.clear();
  groups.toggle(KVCategoryGroups::Tweaks, in, out);
  EXPECT_EQ(deleted, (std::vector<long>{6}));
  EXPECT_TRUE(groups.isCollapsed(KVCategoryGroups::Tweaks));
}

TEST(CategoryGroups, RowPicturesFollowTheRulesInOrder) {
  auto look = [](const std::string& text) {
    auto l = CategoriesCell::lookForCategory(text);
    return l.imageName + (l.bold ? " bold" : "");
  };
  EXPECT_EQ(look("Tweaks"), "Categories/Tweaks") << "its own picture, regular";
  EXPECT_EQ(look("Tweaks   "), "Categories/Tweaks bold") << "the group's header";
  EXPECT_EQ(look("Addons (Flipswitch)"), "Categories/Addons bold");
  EXPECT_EQ(look("App Addons"), "Categories/App Addons");
  EXPECT_EQ(look("SpringBoard Addon"), "Categories/Addons");
  EXPECT_EQ(look("Thème sombre"), "Categories/Themes bold");
  EXPECT_EQ(look("Fonts (EFM)"), "Categories/Fonts");
  EXPECT_EQ(look("Terminal_Support"), "Categories/Terminal");
  EXPECT_EQ(look("Data_Storage"), "Categories/Data Storage");
  EXPECT_EQ(look("Notification Widgets"), "Categories/Widgets");
  EXPECT_EQ(look("Cydia/Telesphoreo"), "Categories/Morvik") << "no picture in a nested folder";
  EXPECT_EQ(look("../images/Info"), "Categories/Default") << "a name never leaves the pictures' folder";
  EXPECT_EQ(look("Development"), "Categories/Default");
  EXPECT_NE(UIImage::imageNamed(CategoriesCell::lookForCategory("Development").imageName), nullptr);
}

class CategoriesTabTest : public BrowseFixture {
 protected:
  std::shared_ptr<CategoriesTableViewController> show(const KVScreenContext& context) {
    auto screen = std::make_shared<CategoriesTableViewController>(context);
    ui.show(std::make_shared<UINavigationController>(screen));
    ui.runUntilIdle();
    return screen;
  }
  static void select(CategoriesTableViewController& screen, UITableView* table, long row) {
    ASSERT_TRUE(table->selectRowByUser(NSIndexPath::indexPathForRow(row, 0)));
    RunLoop::main().runUntilIdle();
    (void)screen;
  }
};

TEST_F(CategoriesTabTest, RealRepositoriesFoldIntoTheirGroupsAndOpenTheirScreens) {
  QB_TESTDATA_OR_SKIP(repos, "repos");
  // Beside them, archives built here whose sections fall through the picture rules.
  DebBuilder debs(repositories.file("own"));
  std::vector<std::string> archives;
  for (auto [identifier, section] : {std::pair{"com.example.appaddon", "App Addons"},
                                     std::pair{"com.example.old", "Cydia/Telesphoreo"},
                                     std::pair{"com.example.pack", "SpringBoard Addon"}}) {
    archives.push_back(std::string(identifier) + ".deb");
    debs.build(DebPackage(identifier, "1.0").field("Section", section), archives.back());
  }
  ASSERT_TRUE(DebBuilder::writeFlatRepository(repositories.file("own"), archives));
  std::vector<std::string> locations{serveCopy("poomsmart", repos + "/poomsmart/repo"),
                                     serveCopy("procursus", repos + "/procursus-mirror"),
                                     serveCopy("paidrepo", repos + "/paidrepo"), locationOf("own")};
  for (const auto& location : locations) ASSERT_TRUE(refresh(location)) << location;
  rebuildCategories();
  auto recording = root->recordScreens();
  auto screen = show(recording->context());

  // Every category of the database once: a plain row or a member of one group.
  std::multiset<std::string> shown;
  for (const auto& row : screen->otherPackagesCategories())
    if (!KVCategoryGroups::groupOfHeader(row)) shown.insert(row);
  for (size_t g = 0; g < KVCategoryGroups::kGroupCount; ++g)
    for (const auto& member : screen->groups().members(KVCategoryGroups::Group(g))) shown.insert(member);
  std::multiset<std::string> categories;
  for (const auto& value : KVRPackage::allObjects().distinct({"category"}).valuesForKey("category"))
    if (value.isString() && !value.asString().empty()) categories.insert(value.asString());
  EXPECT_EQ(shown, categories);
  for (const char* expected : {"Tweaks", "Fonts (EFM)", "Terminal_Support", "App Addons", "Cydia/Telesphoreo", "SpringBoard Addon"})
    EXPECT_EQ(categories.count(expected), 1u) << expected;
  EXPECT_EQ(screen->groups().members(KVCategoryGroups::Tweaks), (std::vector<std::string>{"Tweaks"}));
  EXPECT_EQ(screen->groups().members(KVCategoryGroups::Addons), (std::vector<std::string>{"Addons (Flipswitch)"}));
  EXPECT_FALSE(screen->groups().rowOfHeader(KVCategoryGroups::Themes));
  EXPECT_FALSE(screen->groups().rowOfHeader(KVCategoryGroups::Widgets));
  EXPECT_EQ(screen->defaultPackagesCategories().size(), 5u);
  EXPECT_TRUE(ui.screenShows("All Packages")) << ui.screen();
  UITableView* other = screen->otherCategoriesTableView();
  const size_t closedRows = screen->otherPackagesCategories().size();
  EXPECT_EQ(screen->otherCategoriesTableViewHeightConstraint()->constant(), 44.0 * double(closedRows));

  // The accordion: one group open, the page at the opened header, every change in step
  // with the table.
  select(*screen, other, *screen->groups().rowOfHeader(KVCategoryGroups::Addons));
  long addons = *screen->groups().rowOfHeader(KVCategoryGroups::Addons);
  EXPECT_EQ(screen->otherPackagesCategories()[addons + 1], "Addons (Flipswitch)");
  EXPECT_EQ(screen->scrollView()->contentOffset().y, 44.0 * double(addons) + 414);
  select(*screen, other, *screen->groups().rowOfHeader(KVCategoryGroups::Tweaks));
  EXPECT_TRUE(screen->groups().isCollapsed(KVCategoryGroups::Addons));
  EXPECT_FALSE(screen->groups().isCollapsed(KVCategoryGroups::Tweaks));
  long tweaks = *screen->groups().rowOfHeader(KVCategoryGroups::Tweaks);
  EXPECT_EQ(screen->otherPackagesCategories()[tweaks + 1], "Tweaks");
  // Near the end, as far as the page's end lets the header come up.
  EXPECT_EQ(screen->scrollView()->contentOffset().y,
            std::min(44.0 * double(tweaks) + 414, screen->scrollView()->maximumContentOffset().y));
  EXPECT_LT(screen->scrollView()->contentOffset().y, 44.0 * double(tweaks) + 414) << "the group is among the last rows";
  EXPECT_EQ(other->numberOfRowsInSection(0), long(closedRows + 1));
  EXPECT_EQ(screen->otherCategoriesTableViewHeightConstraint()->constant(), 44.0 * double(closedRows + 1));
  EXPECT_EQ(other->inconsistentUpdateCount(), 0u);

  // A rebuild, asked for while the screen reads its rows again and again, closes every
  // group; every reading is a whole snapshot.
  packagesManager().caches()->rebuildPackagesCategoriesCache();
  for (int i = 0; i < 200; ++i) {
    screen->setCategoriesArrays();
    ASSERT_EQ(screen->otherPackagesCategories().size(), closedRows);
    ASSERT_EQ(screen->defaultPackagesCategories().size(), 5u);
  }
  rebuildCategories();
  EXPECT_TRUE(screen->groups().isCollapsed(KVCategoryGroups::Tweaks));
  EXPECT_EQ(other->numberOfRowsInSection(0), long(closedRows));

  // A category opens its screen, whose package opens its page. The page was left at the
  // group opened last: a person scrolls to the category first.
  ASSERT_TRUE(ui.scroll("top"));
  for (int page = 0; page < 10 && !ui.screenShows("Fonts (EFM)"); ++page) ASSERT_TRUE(ui.scroll("down"));
  ASSERT_TRUE(ui.tap("Fonts (EFM)")) << ui.screen();
  auto* fonts = dynamic_cast<SubcategoriesViewController*>(screen->navigationController()->topViewController());
  ASSERT_NE(fonts, nullptr);
  EXPECT_EQ(fonts->title(), "Fonts (EFM)");
  ASSERT_FALSE(fonts->sections().empty());
  std::string first = fonts->sectionsDictionary().at(fonts->sections().front()).front();
  ASSERT_TRUE(fonts->tableView()->selectRowByUser(NSIndexPath::indexPathForRow(0, 0)));
  ui.runUntilIdle();
  EXPECT_EQ(recording->opened(), std::vector<std::string>{"native " + first});
}

TEST_F(CategoriesTabTest, TheUpdatedRowSaysSoUntilAnInstalledPackageHasANewerVersion) {
  std::string own = serveIndex("own", stanza("com.example.tool", "1.0", {{"Section", "Tweaks"}, {"Name", "Tool"}}));
  ASSERT_TRUE(refresh(own));
  rebuildCategories();
  auto screen = show(screenContext());
  select(*screen, screen->defaultCategoriesTableView(), 2);
  auto* card = dynamic_cast<ErrorViewController*>(ui.front());
  ASSERT_NE(card, nullptr) << ui.screen();
  EXPECT_EQ(card->titleTxt(), "Updated Packages");
  ASSERT_TRUE(ui.tap("OK"));

  // Installed at 1.0, offered at 2.0 after the next refresh.
  auto tool = *KVRPackage::objectForPrimaryKey(std::string("com.example.tool"));
  tool.setIsInstalled(true);
  tool.setInstalledVersion(std::string("1.0"));
  ASSERT_EQ(db()->write([&] { db()->addOrUpdate(tool.toObject()); }), nullptr);
  serveIndex("own", stanza("com.example.tool", "2.0", {{"Section", "Tweaks"}, {"Name", "Tool"}}));
  ageListFiles(own);
  ASSERT_TRUE(refresh(own));
  rebuildCategories();
  EXPECT_TRUE(ui.screenShows("Updated Packages (1)")) << ui.screen();
  select(*screen, screen->defaultCategoriesTableView(), 2);
  auto* list = dynamic_cast<PackagesTableViewController*>(screen->navigationController()->topViewController());
  ASSERT_NE(list, nullptr) << ui.screen();
  EXPECT_EQ(list->category(), kCategorySpecial_UpdatedPackages);
  EXPECT_TRUE(ui.screenShows("Tool")) << ui.screen();
}

}  // namespace
