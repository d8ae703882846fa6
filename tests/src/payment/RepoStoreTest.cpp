// A repository's store over its payment service played on 127.0.0.1: signed out, the
// web sign-in and the purchases, the pull's labels, the sign-out, no purchases, icons and
// which page a row opens.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "StoreScreensFixture.h"
#include "database/KVIconProvider.h"
#include "payment/KVOutsideStore.h"
#include "payment/RepoStoreDetailsViewController.h"
#include "support/RecordingScreens.h"
#include "support/Written.h"
#include "uikit/UIButton.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIRefreshControl.h"
#include "uikit/UITableView.h"

namespace {

class RepoStoreTest : public StoreScreensFixture {
 protected:
  std::shared_ptr<RepoStoreDetailsViewController> open(const std::string& location, KVStoreVendorInfo info) {
    auto screens = root->recordScreens();
    recorded = screens;
    auto store = std::make_shared<RepoStoreDetailsViewController>(screens->context(), location, info);
    ui.show(std::make_shared<UINavigationController>(store));
    ui.runUntilIdle();
    return store;
  }
  static KVStoreVendorInfo vendor() {
    KVStoreVendorInfo info;
    info.name = "zhaonan's fake repo";
    info.buttonTitle = "Sign in";
    info.message = "login to test";
    return info;
  }
  std::shared_ptr<RecordingScreens> recorded;
};

TEST_F(RepoStoreTest, SignInShowsThePurchasesInNameOrderAndSignOutTheBannerAgain) {
  own({"com.nan.debd", "com.unknown.package", "com.nan.second"});
  auto store = open(paid, vendor());
  EXPECT_TRUE(ui.screenShows("title: zhaonan's fake repo")) << ui.screen();
  EXPECT_TRUE(ui.screenShows("0.0: login to test")) << ui.screen();
  EXPECT_TRUE(ui.screenShows("[Sign in]"));
  EXPECT_TRUE(store->userNameLabel()->isHidden());
  EXPECT_EQ(store->tableView()->tableHeaderView()->frame().height(), 210);

  // The web sign-in follows the service's page back with the credentials; then the
  // purchases are read and marked.
  ASSERT_TRUE(ui.tap("Sign in"));
  ASSERT_TRUE(eventually([&] { return ui.screenShows("table: 2 rows"); })) << ui.screen();
  ASSERT_EQ(SFAuthenticationSession::startedURLs().size(), 1u);
  EXPECT_EQ(SFAuthenticationSession::startedURLs()[0].rfind(server.url("/paid-a/api/authenticate?udid="), 0), 0u);
  EXPECT_TRUE(ui.screenShows("0.0: Another debd")) << ui.screen();
  EXPECT_TRUE(ui.screenShows("0.1: debd"));
  EXPECT_TRUE(ui.screenShows("[Logout]"));
  EXPECT_EQ(store->tableView()->tableHeaderView()->frame().height(), 256);
  EXPECT_EQ(store->userNameLabel()->text(), "Username:") << "the captions stay until the next pull";

  // The pull fills in the user's name and address.
  ASSERT_TRUE(ui.pullToRefresh());
  ASSERT_TRUE(eventually([&] { return !store->refreshControl()->isRefreshing(); }));
  EXPECT_EQ(store->userNameLabel()->text(), "test");
  EXPECT_EQ(store->emailLabel()->text(), "test@github.com");

  // Sign-out: the service is told, the marks go, the banner is back.
  ASSERT_TRUE(ui.tap("Logout"));
  ASSERT_TRUE(eventually([&] { return ui.screenShows("0.0: login to test"); })) << ui.screen();
  EXPECT_EQ(server.requestCount("/paid-a/api/sign_out"), 1u);
  EXPECT_TRUE(ui.screenShows("[Sign in]"));
  EXPECT_FALSE(KVRepoStoreAPI::userIsAuthenticatedForStoreLocation(paid));
  EXPECT_TRUE(packagesOf(paid).size() > 0);
  for (const auto& p : packagesOf(paid)) EXPECT_FALSE(p.isPaidThroughSileo().value_or(false)) << p.identifier();
}

TEST_F(RepoStoreTest, SignedInWithoutPurchasesSaysSoAndRowsOpenThePageTheirSourceAsks) {
  // The store opened signed in, owning nothing. The sign-in ends when its read of the
  // purchases is written, which is after the token is stored: a late write of that read
  // would clear the marks of the pull below.
  auto signedIn = std::make_shared<std::atomic<bool>>(false);
  KVRepoStoreAPI::loginToSource(paid, [signedIn](bool success) { *signedIn = success; });
  ASSERT_TRUE(eventually([&] { return signedIn->load(); }));
  ASSERT_TRUE(KVRepoStoreAPI::userIsAuthenticatedForStoreLocation(paid));
  waitForPipeline();
  auto store = open(paid, vendor());
  ASSERT_TRUE(eventually([&] { return ui.screenShows("You have no purchased packages for this account."); }))
      << ui.screen();
  EXPECT_TRUE(eventually([&] { return store->userNameLabel()->text() == "test"; })) << "read at load";
  waitForPipeline();  // the marks that reading wrote have landed before the next one's

  // Another source's icon leaves the header alone; the source's own replaces it.
  auto header = store->tableView()->tableHeaderView();
  UIImageView* image = nullptr;
  for (auto& view : header->subviews())
    if (auto* i = dynamic_cast<UIImageView*>(view.get())) image = i;
  ASSERT_TRUE(image);
  auto before = image->image();
  NotificationCenter::defaultCenter().post(KVRSourceInfoIconChangedNotification, Value(nepeta));
  ui.runUntilIdle();
  EXPECT_EQ(image->image(), before);

  // Purchases arrive on the next pull; a row opens the native page, or the web depiction
  // when the source asks for original depictions.
  own({"com.nan.debd"});
  ASSERT_TRUE(ui.pullToRefresh());
  ASSERT_TRUE(eventually([&] { return ui.screenShows("0.0: debd"); })) << ui.screen();
  ASSERT_TRUE(ui.tap("0.0"));
  ASSERT_TRUE(ui.back());
  written(db()->write([&] {
    auto record = *source(paid);
    record.setSeeOriginalDepictions(true);
    db()->addOrUpdate(record.toObject());
    auto package = *this->package("com.nan.debd");
    package.setWebsite("https://example.org/debd");
    db()->addOrUpdate(package.toObject());
  }));
  ui.runUntilIdle();
  ASSERT_TRUE(ui.tap("0.0"));
  EXPECT_EQ(recorded->opened(), (std::vector<std::string>{"native com.nan.debd", "web com.nan.debd https://example.org/debd"}));
}

}  // namespace
