// The package list: the query of each kind, its sections by each sort key, the rows it
// fills, its swipe actions and sort sheet, and the rebuild held back while the user
// scrolls.
#include <gtest/gtest.h>

#include <set>

#include "account/KVKeychainBindings.h"
#include "account/KVKeychainBindingsController.h"
#include "browse/PackagesTableViewController.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "database/KVRSources.h"
#include "foundation/NotificationCenter.h"
#include "interface/KVCategorySpecial.h"
#include "interface/PackageCell.h"
#include "support/PackageRecordsFixture.h"
#include "support/RecordingScreens.h"
#include "support/UIDriver.h"
#include "uikit/UIAlertController.h"
#include "uikit/UINavigationController.h"
#include "uikit/UINib.h"
#include "database/KVIconProvider.h"
#include "foundation/Files.h"
#include "interface/KVPackageIcons.h"
#include "support/IconFixtures.h"
#include "support/SourceRefreshFixture.h"
#include "support/TestRoot.h"
#include "support/TestData.h"
#include "support/TestHttpServer.h"
#include "support/Written.h"
#include "uikit/UIImage.h"
#include "uikit/UIImageView.h"

namespace {

class PackageListTest : public PackageRecordsFixture {
 protected:
  void SetUp() override {
    PackageRecordsFixture::SetUp();
    preference("SortInstalledPackagesBy", Value("Name"));
  }
  void TearDown() override {
    preference("SortInstalledPackagesBy", Value("Name"));
    preference("ShowIncompatiblePackages", Value(false));
    PackageRecordsFixture::TearDown();
  }
  static void preference(const char* key, const Value& value) {
    QuillbarkPersistentPreferences::sharedInstance().setObject(value, key);
  }
  KVRPackage named(const std::string& identifier, const std::string& name, const std::string& location = {}) {
    KVRPackage p = package(identifier);
    p.setName(name);
    if (!location.empty()) p.setSourceLocation(location);
    return p;
  }
  // A list of the kind on screen in a navigation controller.
  std::shared_ptr<PackagesTableViewController> open(const std::string& category,
                                                    std::function<void(PackagesTableViewController&)> inputs = {}) {
    auto list = std::make_shared<PackagesTableViewController>(screenContext(),
                                                              KVPackageListKind::ofCategory(category));
    if (inputs) inputs(*list);
    ui.show(std::make_shared<UINavigationController>(list));
    ui.runUntilIdle();
    return list;
  }
  static std::vector<std::string> rows(const PackagesTableViewController& list) {
    std::vector<std::string> out;
    for (const auto& section : list.sections())
      for (const auto& id : list.sectionsDictionary().at(section)) out.push_back(id);
    return out;
  }

  UIDriver ui;
};

// The purchased packages are asked of the stores signed in to: signed in nowhere, the
// list says there are none; a store out of reach says why, with "Try Again".
TEST_F(PackageListTest, PurchasesOutOfReachSayWhyAndNoneSaysSo) {
  auto& keychain = KVKeychainBindingsController::sharedKeychainBindingsController();
  keychain.resetValuesForTesting();
  open(kCategorySpecial_SileoPackages);
  EXPECT_TRUE(ui.screenShows("There are no purchased packages.")) << ui.screen();
  EXPECT_FALSE(ui.screenShows("Try Again"));

  const std::string location = "https://shop.example/";
  addSource(location, TestHttpServer::closedBaseURL() + "/api/");
  KVKeychainBindings::sharedKeychainBindings().setString(std::string("tok"), location + "_token");
  KVKeychainBindings::sharedKeychainBindings().setString(std::string("sec"), location + "_payment");
  open(kCategorySpecial_SileoPackages);
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return ui.screenShows("[Try Again]"); }, 20)) << ui.screen();
  EXPECT_TRUE(ui.screenShows("The purchased packages could not be loaded:")) << ui.screen();
  ASSERT_TRUE(ui.tap("Try Again"));
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return ui.screenShows("[Try Again]"); }, 20)) << "asked again: " << ui.screen();
  keychain.resetValuesForTesting();
}

TEST_F(PackageListTest, SortByNameGroupsCapitalLettersDigitsAndSignsWithAnIndex) {
  for (auto [id, name] : std::vector<std::pair<const char*, const char*>>{
           {"a.lower", "apple"}, {"a.upper", "Avocado"}, {"digit", "3DTouch"}, {"sign", "+plus"},
           {"greek", "ωmega"}, {"b", "Banana"}})
    add(named(id, name));
  auto list = open(kCategorySpecial_AllPackages);

  std::set<std::string> keys(list->sections().begin(), list->sections().end());
  EXPECT_EQ(keys, (std::set<std::string>{"A", "B", "3", "+", "Ω"}));
  EXPECT_EQ(list->sectionsDictionary().at("A").size(), 2u) << "apple and Avocado share one section";
  EXPECT_EQ(list->indexTitles(), list->sections());
  EXPECT_EQ(list->tableView()->numberOfSections(), 5);
  EXPECT_TRUE(ui.screenShows("apple")) << ui.screen();
}

TEST_F(PackageListTest, OtherSortsGroupByTheirValueWithoutIndex) {
  KVRPackage a = named("a", "A tool", "https://b.example/");
  a.setCategory(std::string("Tweaks"));
  a.setMaintainer(std::string("Zed"));
  KVRPackage b = named("b", "B tool", "https://a.example/");
  b.setCategory(std::string("Addons"));
  b.setMaintainer(std::string("Amy"));
  KVRPackage c = named("c", "C tool");  // no category, no source: in no section
  for (auto* p : {&a, &b, &c}) add(*p);

  preference("SortInstalledPackagesBy", Value("Source"));
  auto list = open(kCategorySpecial_AllPackages);
  EXPECT_EQ(list->sections(), (std::vector<std::string>{"https://a.example/", "https://b.example/"}));
  EXPECT_TRUE(list->indexTitles().empty());

  preference("SortInstalledPackagesBy", Value("Category"));
  list->rebuildCache();
  EXPECT_EQ(list->sections(), (std::vector<std::string>{"Addons", "Tweaks"}));

  // "InstallDate" sorts only the installed list; elsewhere it is the name.
  preference("SortInstalledPackagesBy", Value("InstallDate"));
  EXPECT_EQ(list->sortPropertyForPrefs(), "name");
}

TEST_F(PackageListTest, InstalledListByInstallDateNewestFirst) {
  KVRPackage older = installed("older", "1.0");
  older.setInstallDate(Date::fromUnix(1700000000));
  KVRPackage newer = installed("newer", "1.0");
  newer.setInstallDate(Date::fromUnix(1710000000));
  KVRPackage pseudo = installed("cy+cpu.arm64", "1");
  pseudo.setName(std::string("CY+cpu.arm64"));
  for (auto* p : {&older, &newer, &pseudo}) add(*p);
  preference("SortInstalledPackagesBy", Value("InstallDate"));

  auto list = open(kCategorySpecial_InstalledPackages);
  ASSERT_EQ(list->sections().size(), 2u);
  EXPECT_EQ(list->sectionsDictionary().at(list->sections()[0]), std::vector<std::string>{"newer"});
  EXPECT_EQ(list->sections()[0].size(), std::string("dd-MM-yyyy HH:mm:ss").size());
  EXPECT_EQ(rows(*list), (std::vector<std::string>{"newer", "older"})) << "the cy+ entries are never listed";
}

TEST_F(PackageListTest, SearchFallsBackToMaintainersAndIncompatiblePackagesStayOutWhereTheTableSays) {
  KVRPackage tool = named("tool", "Handy Tool");
  tool.setMaintainer(std::string("Nora"));
  KVRPackage other = named("other", "Other");
  other.setMaintainer(std::string("Nora"));
  KVRPackage broken = named("broken", "Broken Tool");
  broken.setTweakCompatibleStatus(int64_t(1));
  broken.setIsInstalled(true);
  for (auto* p : {&tool, &other, &broken}) add(*p);

  auto byName = open(kCategorySpecial_Search, [](auto& l) { l.setSearch(std::string("tool")); });
  EXPECT_EQ(rows(*byName), std::vector<std::string>{"tool"}) << "names match: no maintainer's other packages";
  auto byMaintainer = open(kCategorySpecial_Search, [](auto& l) { l.setSearch(std::string("nora")); });
  EXPECT_EQ(rows(*byMaintainer), (std::vector<std::string>{"tool", "other"}));
  auto installed = open(kCategorySpecial_InstalledPackages);
  EXPECT_EQ(rows(*installed), std::vector<std::string>{"broken"}) << "the installed list keeps incompatible ones";

  preference("ShowIncompatiblePackages", Value(true));
  byName->rebuildCache();
  EXPECT_EQ(rows(*byName), (std::vector<std::string>{"broken", "tool"}));
}

TEST_F(PackageListTest, IdentifierListsAreBoundDataMatchedIgnoringCase) {
  add(named("com.example.one", "One"));
  add(named("it's", "Quoted"));
  add(named("other", "Other"));
  auto list = open(kCategorySpecial_DownloadsHistory, [](auto& l) {
    l.setDownloadsHistory({"COM.EXAMPLE.ONE", "it's", "x' OR identifier != '", "gone"});
  });
  EXPECT_EQ(rows(*list), (std::vector<std::string>{"com.example.one", "it's"}));

  KVRDeveloper nobody;
  auto developer = open(kCategorySpecial_NewPackagesFromFollowedDeveloper, [&](auto& l) { l.setFollowedDeveloper(nobody); });
  EXPECT_TRUE(rows(*developer).empty());
  EXPECT_EQ(developer->tableView()->numberOfSections(), 0);
}

TEST_F(PackageListTest, RowsSwipeToQueueAndRemoveAndSortFromTheSheet) {
  add(named("com.example.tool", "Tool"));
  auto list = open(kCategorySpecial_AllPackages);
  EXPECT_TRUE(ui.swipeRow("Tool", "Queue")) << ui.screen();
  EXPECT_TRUE(record("com.example.tool")->isInTheQueue().value_or(false));
  EXPECT_TRUE(ui.screenShows("(install)")) << ui.screen();
  EXPECT_TRUE(ui.swipeRow("Tool", "Remove"));
  EXPECT_FALSE(record("com.example.tool")->isInTheQueue().value_or(false));
  EXPECT_FALSE(ui.screenShows("(install)"));
  EXPECT_TRUE(ui.swipeRow("Tool", "Queue")) << "the row offers Queue again";

  ASSERT_TRUE(ui.tap("Sort")) << ui.screen();
  auto* sheet = dynamic_cast<UIAlertController*>(ui.window().rootViewController()->presentedViewController());
  ASSERT_NE(sheet, nullptr);
  std::vector<std::string> titles;
  for (const auto& action : sheet->actions()) titles.push_back(action->title());
  EXPECT_EQ(titles, (std::vector<std::string>{"Category", "Maintainer", "Name", "Source", "Cancel"}));
  EXPECT_TRUE(ui.tap("Maintainer"));
  EXPECT_EQ(QuillbarkPersistentPreferences::sharedInstance().stringForKey("SortInstalledPackagesBy"), "Maintainer");
}

TEST_F(PackageListTest, ARefreshWhileTheUserScrollsWaitsForTheEndOfTheScroll) {
  for (int i = 0; i < 30; ++i) add(named("p" + std::to_string(100 + i), "Package " + std::to_string(100 + i)));
  auto list = open(kCategorySpecial_AllPackages);
  auto* table = list->tableView();

  // A drag that ends with momentum: the rebuild waits for the deceleration's end.
  list->scrollViewWillBeginDragging(*table);
  add(named("late", "Late arrival"));
  NotificationCenter::defaultCenter().post(KVRSourceUpdatedNotification);
  ui.runUntilIdle();
  EXPECT_TRUE(list->needCacheRebuild());
  EXPECT_EQ(rows(*list).size(), 30u);
  list->scrollViewDidEndDragging(*table, true);
  EXPECT_EQ(rows(*list).size(), 30u);
  list->scrollViewDidEndDecelerating(*table);
  EXPECT_EQ(rows(*list).size(), 31u);
  EXPECT_FALSE(list->isScrolling());

  // A drag that stops without momentum ends the scrolling too.
  list->scrollViewWillBeginDragging(*table);
  add(named("later", "Later arrival"));
  NotificationCenter::defaultCenter().post(KVRSourceUpdatedNotification);
  ui.runUntilIdle();
  list->scrollViewDidEndDragging(*table, false);
  EXPECT_FALSE(list->isScrolling());
  EXPECT_EQ(rows(*list).size(), 32u);

  // A person's own scroll goes through the same calls.
  table->scrollByUser(CGPoint{0, 600});
  EXPECT_FALSE(list->isScrolling());
}

TEST_F(PackageListTest, ATapOpensThePackagePageOrTheWebDepictionAsTheSourceAsks) {
  addSource("https://web.example/");
  written(db()->write([&] {
    auto source = *KVRSource::objectForPrimaryKey(std::string("https://web.example/"));
    source.setSeeOriginalDepictions(true);
    db()->addOrUpdate(source.toObject());
  }));
  add(named("native", "Native", "https://other.example/"));
  KVRPackage web = named("web", "Web", "https://web.example/");
  web.setWebsite(std::string("HTTPS://web.example/web.html"));
  add(web);
  // A website the browser cannot load opens the native page.
  KVRPackage odd = named("odd", "Odd", "https://web.example/");
  odd.setWebsite(std::string("javascript:alert(1)"));
  add(odd);
  auto screens = RecordingScreens::onRunningRoot();
  auto list = std::make_shared<PackagesTableViewController>(screens->context(),
                                                            KVPackageListKind::ofCategory(kCategorySpecial_AllPackages));
  ui.show(std::make_shared<UINavigationController>(list));
  ui.runUntilIdle();
  ASSERT_TRUE(ui.tap("Native"));
  EXPECT_EQ(list->navigationController()->topViewController()->title(), "Native");
  ui.back();
  ASSERT_TRUE(ui.tap("Web"));
  ui.back();
  ASSERT_TRUE(ui.tap("Odd"));
  EXPECT_EQ(screens->opened(),
            (std::vector<std::string>{"native native", "web web HTTPS://web.example/web.html", "native odd"}));
}

// The new kinds list the package list caches' groupings, one section per refresh date,
// each kind its own.
// The groupings are made when a screen shows them, from the packages as they are then.
TEST_F(PackageListTest, NewPackagesAndNewVersionsListTheGroupingsOfThePackagesAsTheyAre) {
  KVRPackage fresh = named("com.example.fresh", "Fresh");
  fresh.setUpdatedDateStr("2026-12-07 09:30");
  KVRPackage newer = named("com.example.newer", "Newer");
  newer.setUpdatedDateStr("2026-11-30 18:05");
  newer.setHasNewVersion(true);
  add(fresh);
  add(newer);

  auto added = open(kCategorySpecial_NewPackages);
  EXPECT_EQ(added->tableView()->numberOfSections(), 2);
  EXPECT_EQ(added->identifierAtIndexPath(NSIndexPath::indexPathForRow(0, 0)), "com.example.fresh");
  auto versions = open(kCategorySpecial_NewPackagesVersions);
  EXPECT_EQ(versions->tableView()->numberOfSections(), 1);
  EXPECT_EQ(versions->identifierAtIndexPath(NSIndexPath::indexPathForRow(0, 0)), "com.example.newer");

  // One more package of the newest refresh: listed, by name, the next time it shows.
  KVRPackage later = named("com.example.later", "Later");
  later.setUpdatedDateStr("2026-12-07 09:30");
  add(later);
  added = open(kCategorySpecial_NewPackages);
  EXPECT_EQ(added->tableView()->numberOfSections(), 2);
  EXPECT_EQ(added->identifierAtIndexPath(NSIndexPath::indexPathForRow(0, 0)), "com.example.fresh");
  EXPECT_EQ(added->identifierAtIndexPath(NSIndexPath::indexPathForRow(1, 0)), "com.example.later");
}

// The real repositories, refreshed and listed: every row is in the section of its name's
// capitalized first character, whatever script or sign it begins with.
class RealRepositoryListTest : public SourceRefreshFixture {};

TEST_F(RealRepositoryListTest, SectionsOfRealNames) {
  QB_TESTDATA_OR_SKIP(repos, "repos");
  size_t listed = 0;
  std::set<std::string> keys;
  bool sawLowerCase = false;
  for (const char* folder : {"poomsmart", "nepeta", "utm", "paidrepo"}) {
    std::string from = repos + "/" + folder;
    if (folder == std::string("poomsmart")) from += "/repo";
    std::string location = locationOf(folder);
    for (const char* file : {"Release", "Packages"})
      ASSERT_TRUE(Files::copyItem(from + "/" + file, repositories.file(folder) + "/" + file)) << from;
    ASSERT_TRUE(refresh(location)) << folder;
    ASSERT_FALSE(packagesOf(location).empty()) << folder;

    auto list = std::make_shared<PackagesTableViewController>(screenContext(),
                                                              KVPackageListKind::sourcePackages(location, location));
    list->loadViewIfNeeded();
    list->rebuildCache();
    for (const auto& key : list->sections()) {
      keys.insert(key);
      for (const auto& id : list->sectionsDictionary().at(key)) {
        std::string name = package(id)->name().value_or("");
        EXPECT_EQ(KVPackageListSections::nameSectionKey(name), key) << name;
        sawLowerCase = sawLowerCase || (!name.empty() && std::islower(static_cast<unsigned char>(name[0])));
        ++listed;
      }
    }
    EXPECT_EQ(list->indexTitles(), list->sections());
    size_t named = KVRPackage::objectsWhere("sourceLocation = %@ AND name != nil", location).count();
    EXPECT_EQ(listed, named) << folder;
    listed = 0;
  }
  EXPECT_TRUE(sawLowerCase);
  for (const auto& key : keys) EXPECT_EQ(key, KVPackageListSections::nameSectionKey(key)) << "keys are capitals";
}

// Real indexes whose icon URLs point at the server the repository is served from (a
// copy, with the host of each URL changed): the list's rows start the downloads, a real
// picture lands in the icon cache and in its row, a store's placeholder marks its
// records instead, and the source shows the icon the repository serves beside its index.
TEST_F(RealRepositoryListTest, IconsOfARepositoryServedWithItsIconFiles) {
  QB_TESTDATA_OR_SKIP(repos, "repos");
  preferences().setObject(Value(true), "OriginalCydiaSourcesIcons");
  auto serve = [&](const std::string& folder, const std::string& from, const std::string& to) {
    std::string location = locationOf(folder);
    std::string index = Files::readText(repos + "/" + folder + "/Packages").value_or("");
    for (size_t at = index.find(from); at != std::string::npos; at = index.find(from, at + to.size()))
      index.replace(at, from.size(), to);
    EXPECT_TRUE(DebBuilder::writeRepositoryIndex(repositories.file(folder), index));
    EXPECT_TRUE(Files::copyItem(repos + "/" + folder + "/CydiaIcon.png", repositories.file(folder) + "/CydiaIcon.png"));
    return location;
  };
  auto place = [&](const std::string& path, const std::string& bytes) {
    Files::createDirectories(Files::deletingLastPathComponent(repositories.file(path)));
    ASSERT_TRUE(Files::writeAtomically(repositories.file(path), bytes));
  };
  const std::string utmIcon = Files::readText(repos + "/utm/CydiaIcon.png").value_or("");
  std::string utm = serve("utm", "https://cydia.getutm.app/", locationOf("utm"));
  place("utm/assets/com.utmapp.UTM/icon.png", utmIcon);
  // The paid repository's pictures as the stand-in store would serve them: its placeholder.
  std::string paid = serve("paidrepo", "https://invalidunit.github.io/", locationOf("paidrepo") + "store.example/");
  place("paidrepo/store.example/sileodepiction/Default/image_terminal.png", IconFixtures::bytes("store-placeholder.png"));
  ASSERT_TRUE(refresh(utm));
  ASSERT_TRUE(refresh(paid));
  std::vector<std::string> notices;
  auto token = NotificationCenter::defaultCenter().addObserver(
      KVRPackageInfoIconChangedNotification, [&](const Notification& n) { notices.push_back(n.object.asString()); });

  UIDriver ui;
  // The source's list on screen: the rows it shows ask for their icons.
  auto listOf = [&](const std::string& location) {
    auto list = std::make_shared<PackagesTableViewController>(screenContext(),
                                                              KVPackageListKind::sourcePackages(location, location));
    ui.show(std::make_shared<UINavigationController>(list));
    ui.runUntilIdle();
    return list;
  };
  // The downloads are handed to the icon queue from a background queue, and their
  // records written from another: all of it is through once those are drained too.
  auto finishDownloads = [&] {
    DispatchQueue::drainGlobalQueues();
    ASSERT_TRUE(KVIconProvider::iconFetchQueue().waitUntilAllOperationsAreFinished(20));
    waitForPipeline();
  };
  auto row = [](PackagesTableViewController& list, const std::string& identifier) -> std::shared_ptr<PackageCell> {
    for (const auto& cell : list.tableView()->visibleCells())
      if (auto c = std::dynamic_pointer_cast<PackageCell>(cell); c && c->packageIdentifier() == identifier) return c;
    return nullptr;
  };

  auto utmList = listOf(utm);
  (void)KVPackageIcons::iconForLocation(utm);
  finishDownloads();
  auto utmPackage = package("com.utmapp.utm");
  ASSERT_TRUE(utmPackage);
  EXPECT_EQ(utmPackage->iconURL(), utm + "assets/com.utmapp.UTM/icon.png");
  EXPECT_TRUE(Files::readText(utmPackage->iconPath()) == utmIcon) << "the icon is in the cache";
  EXPECT_EQ(notices, (std::vector<std::string>{"com.utmapp.utm"}));
  auto utmRow = row(*utmList, "com.utmapp.utm");
  ASSERT_TRUE(utmRow);
  ASSERT_TRUE(utmRow->iconView()->image());
  EXPECT_TRUE(stringFromData(utmRow->iconView()->image()->data()) == utmIcon)
      << "the row redraws with the real icon, not " << utmRow->iconView()->image()->name();
  auto sourceIcon = KVPackageIcons::iconForLocation(utm);
  ASSERT_TRUE(sourceIcon);
  EXPECT_TRUE(stringFromData(sourceIcon->data()) == utmIcon) << "the source's own icon";

  auto paidList = listOf(paid);
  finishDownloads();
  size_t marked = 0;
  for (const auto& p : packagesOf(paid)) {
    if (!p.iconURL()) continue;
    ++marked;
    EXPECT_EQ(p.iconURL()->rfind(std::string(KVIconProvider::kUseDefaultCategoriesMarker) + paid + "store.example/", 0),
              0u)
        << *p.iconURL();
    EXPECT_FALSE(Files::exists(KVIconProvider::_iconPathWithKey(paid + "store.example/sileodepiction/Default/image_terminal.png")));
    auto paidRow = row(*paidList, p.identifier());
    ASSERT_TRUE(paidRow) << p.identifier();
    EXPECT_EQ(paidRow->iconView()->image(), KVPackageIcons::categoryIconForIdentifier(p.identifier()));
  }
  EXPECT_EQ(notices.size(), 1u) << "a placeholder is not announced";
  EXPECT_EQ(marked, 1u);  // one package, three architectures
  // Marked records are not fetched again.
  size_t asked = server.requestCount();
  paidList->tableView()->reloadData();
  paidList->tableView()->layoutIfNeeded();
  finishDownloads();
  EXPECT_EQ(server.requestCount(), asked);
}

}  // namespace
