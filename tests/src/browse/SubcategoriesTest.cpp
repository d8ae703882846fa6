// The subcategories screen on real repositories: one category across two sources in
// letter sections with the incompatible filter, folded subcategory rows, the Queue swipe;
// a paid source's categories with "Purchased" while signed in to its payment service, and
// the screen closing when its source is removed.
#include <gtest/gtest.h>

#include <atomic>
#include <set>

#include "BrowseFixture.h"
#include "account/KVKeychainBindings.h"
#include "browse/SubcategoriesViewController.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "database/KVRSources.h"
#include "interface/KVCategorySpecial.h"
#include "payment/KVRepoStoreAPI.h"
#include "support/TestData.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UINavigationController.h"

namespace {

class SubcategoriesTest : public BrowseFixture {
 protected:
  void TearDown() override {
    preferences().setObject(Value(false), "ShowIncompatiblePackages");
    BrowseFixture::TearDown();
  }
  // The screen pushed over a plain root screen, as a list pushes it.
  std::shared_ptr<SubcategoriesViewController> open(const std::string& category, std::optional<std::string> location) {
    auto below = std::make_shared<UIViewController>();
    below->setTitle("Below");
    auto navigation = std::make_shared<UINavigationController>(below);
    ui.show(navigation);
    auto screen = std::make_shared<SubcategoriesViewController>(screenContext(), category, std::move(location));
    navigation->pushViewController(screen, false);
    ui.runUntilIdle();
    return screen;
  }
  static std::vector<std::string> barTitles(SubcategoriesViewController& screen) {
    std::vector<std::string> titles;
    for (const auto& item : screen.navigationItem().rightBarButtonItems()) titles.push_back(item->title());
    return titles;
  }
  static std::set<std::string> listed(const SubcategoriesViewController& screen) {
    std::set<std::string> ids;
    for (const auto& section : screen.sections())
      for (const auto& id : screen.sectionsDictionary().at(section)) ids.insert(id);
    return ids;
  }
  static void announce() {
    NotificationCenter::defaultCenter().post(KVRSourceUpdatedNotification);
    RunLoop::main().runUntilIdle();
  }
};

TEST_F(SubcategoriesTest, ACategoryAcrossTwoSourcesInLetterSectionsUnderItsFoldedSubcategories) {
  QB_TESTDATA_OR_SKIP(repos, "repos");
  std::string poomsmart = serveCopy("poomsmart", repos + "/poomsmart/repo");
  std::string nepeta = serveCopy("nepeta", repos + "/nepeta");
  ASSERT_TRUE(refresh(poomsmart));
  ASSERT_TRUE(refresh(nepeta));
  auto tweaks = KVRPackage::objectsWhere("category = 'Tweaks' AND name != nil").all();
  // Three of them filed under subcategories, one rated not to work here.
  ASSERT_GT(tweaks.size(), 10u);
  ErrorRef written = db()->write([&] {
    const char* subcategories[] = {"Addons (Music)", "Addons (Camera)", "Widgets for Today"};
    for (int i = 0; i < 3; ++i) {
      tweaks[i].setSubcategory(std::string(subcategories[i]));
      db()->addOrUpdate(tweaks[i].toObject());
    }
    tweaks[3].setTweakCompatibleStatus(1);
    db()->addOrUpdate(tweaks[3].toObject());
  });
  ASSERT_EQ(written, nullptr);

  auto screen = open("Tweaks", std::nullopt);
  EXPECT_EQ(screen->subcategoriesArray(), (std::vector<std::string>{"Addons   ", "Widgets   "}));
  std::set<std::string> expected, sources;
  for (const auto& p : tweaks)
    if (p.identifier() != tweaks[3].identifier()) expected.insert(p.identifier());
  EXPECT_EQ(listed(*screen), expected);
  for (const auto& section : screen->sections())
    for (const auto& id : screen->sectionsDictionary().at(section)) {
      auto package = KVRPackage::objectForPrimaryKey(id);
      EXPECT_EQ(KVPackageListSections::nameSectionKey(package->name().value_or("")), section) << id;
      sources.insert(package->sourceLocation().value_or(""));
    }
  EXPECT_EQ(sources, (std::set<std::string>{poomsmart, nepeta}));
  EXPECT_TRUE(ui.screenShows("Subcategories")) << ui.screen();

  // The add-ons open under their header, which goes to the top; the table follows.
  UITableView* table = screen->tableView();
  ASSERT_TRUE(table->selectRowByUser(NSIndexPath::indexPathForRow(0, 0)));
  EXPECT_EQ(screen->subcategoriesArray(),
            (std::vector<std::string>{"Addons   ", "Addons (Camera)", "Addons (Music)", "Widgets   "}));
  EXPECT_EQ(table->contentOffset().y, table->rectForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 0)).minY());
  ASSERT_TRUE(table->selectRowByUser(NSIndexPath::indexPathForRow(3, 0)));
  EXPECT_EQ(screen->subcategoriesArray(), (std::vector<std::string>{"Addons   ", "Widgets   ", "Widgets for Today"}));
  EXPECT_EQ(table->inconsistentUpdateCount(), 0u);

  // The incompatible package shows once the preference asks for it.
  preferences().setObject(Value(true), "ShowIncompatiblePackages");
  announce();
  EXPECT_TRUE(listed(*screen).count(tweaks[3].identifier()));

  // A row's Queue swipe queues it in the database.
  std::string name = tweaks[5].name().value_or("");
  ASSERT_TRUE(ui.swipeRow(name, "Queue")) << ui.screen();
  EXPECT_TRUE(KVRPackage::objectForPrimaryKey(tweaks[5].identifier())->isInTheQueue().value_or(false));
}

TEST_F(SubcategoriesTest, APaidSourcesCategoriesOfferItsPurchasesWhileSignedInAndCloseWhenItGoes) {
  QB_TESTDATA_OR_SKIP(repos, "repos");
  std::string location = serveCopy("paidrepo", repos + "/paidrepo", {"api/info", "api/user_info", "api/sign_out"});
  // Its payment service, on 127.0.0.1 beside it.
  ASSERT_TRUE(Files::writeAtomically(repositories.file("paidrepo/payment_endpoint"), location + "api/\n"));
  for (const char* answer : {"user_info", "sign_out"})
    server.respond("/paidrepo/api/" + std::string(answer),
                   TestHttpResponse::json(Files::readText(repos + "/paidrepo/api/" + answer).value_or("")));
  ASSERT_TRUE(refresh(location));
  ASSERT_EQ(source(location)->endpoint(), location + "api/");

  auto screen = open(kCategorySpecial_SourcePackages, location);
  EXPECT_EQ(screen->subcategoriesArray(), (std::vector<std::string>{"All Packages", "Terminal_Support"}));
  EXPECT_TRUE(screen->sections().empty()) << "a source's screen lists no packages below its categories";
  EXPECT_EQ(barTitles(*screen), std::vector<std::string>{"Source Info"});

  // Signed in: "Purchased", and every rebuild reads the purchases again.
  KVKeychainBindings::sharedKeychainBindings().setString(std::string("played-token"), location + "_token");
  announce();
  EXPECT_EQ(barTitles(*screen), (std::vector<std::string>{"Source Info", "Purchased"}));
  EXPECT_TRUE(server.waitForRequests("/paidrepo/api/user_info", 1));
  std::atomic<bool> signedOut{false};  // told on the payment client's thread
  KVRepoStoreAPI::logoutOfSource(location, [&](bool) { signedOut = true; });
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return signedOut.load(); }, 20));
  ui.advance(1);  // the source is announced a second after the sign-out
  EXPECT_EQ(barTitles(*screen), std::vector<std::string>{"Source Info"});

  // The source removed through the sources manager: the screen goes.
  ASSERT_TRUE(manager().removeSourceWithLocation(location));
  ASSERT_TRUE(waitForPipeline());
  ui.runUntilIdle();
  EXPECT_EQ(screen->navigationController(), nullptr) << ui.screen();
  EXPECT_TRUE(ui.screenShows("title: Below")) << ui.screen();
}

}  // namespace
