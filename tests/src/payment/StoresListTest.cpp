// The stores list over repositories refreshed for real: the rows, the vendors' names and
// icons, the failed vendor, and the pull that re-checks the endpoints.
#include <gtest/gtest.h>

#include "StoreScreensFixture.h"
#include "interface/SearchCell.h"
#include "payment/KVOutsideStore.h"
#include "payment/RepoStoresListController.h"
#include "payment/RepoStoreDetailsViewController.h"
#include "support/TestRoot.h"
#include "uikit/UIButton.h"
#include "uikit/UIImage.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIRefreshControl.h"

namespace {

class StoresListTest : public StoreScreensFixture {
 protected:
  std::shared_ptr<RepoStoresListController> open() {
    auto list = std::make_shared<RepoStoresListController>(screenContext());
    ui.show(std::make_shared<UINavigationController>(list));
    ui.runUntilIdle();
    return list;
  }
  size_t vendorQuestions() { return server.requestCount("/paid-a/api/info") + server.requestCount("/paid-b/api/info"); }
};

TEST_F(StoresListTest, PaidSourcesInNameOrderWithTheirVendorsThenTheOutsideStore) {
  auto list = open();
  // The vendor's name shows once its icon has arrived and redrawn the row.
  ASSERT_TRUE(eventually([&] {
    return list->vendorInfoForSourceLocation(paid).image && list->vendorInfoForSourceLocation(broken).error;
  })) << ui.screen();
  ui.runUntilIdle();
  EXPECT_TRUE(ui.screenShows("table: 3 rows")) << ui.screen();
  EXPECT_TRUE(ui.screenShows("0.0: A Broken Shop | " + broken + " | >")) << "the failed vendor: the database's name";
  EXPECT_TRUE(ui.screenShows("0.1: zhaonan's fake repo | " + paid + " | >")) << "the vendor's own name";
  EXPECT_TRUE(ui.screenShows("0.2: Cydia Store | " + KVOutsideStore::httpLocation() + " | >"));
  auto icon = list->vendorInfoForSourceLocation(paid).image;
  EXPECT_GT(icon->size().width, 0) << "the vendor's real PNG icon";
  auto failed = list->vendorInfoForSourceLocation(broken);
  ASSERT_TRUE(failed.error);
  EXPECT_NE(failed.error->find("(500)"), std::string::npos) << *failed.error;
  EXPECT_FALSE(failed.name);
  EXPECT_TRUE(list->vendorInfoForSourceLocation(nepeta).name == std::nullopt) << "no store for a free source";
  EXPECT_EQ(list->sourceAtIndexPath(NSIndexPath::indexPathForRow(1, 0))->location(), paid);
  EXPECT_EQ(list->indexPathForSourceLocation(broken)->row, 0);
  EXPECT_FALSE(list->indexPathForSourceLocation(nepeta));

  // The failed store opens with the red banner.
  ASSERT_TRUE(ui.tap("0.0")) << ui.screen();
  EXPECT_TRUE(ui.screenShows("There was an error while retrieving vendor information for this store.")) << ui.screen();
  ASSERT_TRUE(ui.back());

  // A pull without change asks no vendor again and ends its spinner.
  size_t asked = vendorQuestions();
  ASSERT_TRUE(ui.pullToRefresh());
  ASSERT_TRUE(eventually([&] { return !list->refreshControl()->isRefreshing(); }));
  EXPECT_EQ(vendorQuestions(), asked);

  // A repository that drops its endpoint file leaves the list on the next pull, and the
  // vendors are asked again.
  ASSERT_TRUE(Files::removeItem(repositories.file("paid-b/payment_endpoint")));
  ASSERT_TRUE(ui.pullToRefresh());
  ASSERT_TRUE(eventually([&] { return !list->refreshControl()->isRefreshing(); }));
  ASSERT_TRUE(eventually([&] { return ui.screenShows("table: 2 rows"); })) << ui.screen();
  EXPECT_TRUE(eventually([&] { return server.requestCount("/paid-a/api/info") == 2; }));
  EXPECT_TRUE(eventually([&] { return ui.screenShows("0.0: zhaonan's fake repo"); })) << ui.screen();
  EXPECT_EQ(server.requestCount("/paid-b/api/info"), 1u);
}

class StoresListAloneTest : public SourceRefreshFixture {
 protected:
  UIDriver ui;
};

// With no source at all the endpoint re-check has nothing to ask: the pull ends at once.
TEST_F(StoresListAloneTest, WithoutSourcesOnlyTheOutsideStoreAndThePullEnds) {
  auto list = std::make_shared<RepoStoresListController>(screenContext());
  ui.show(std::make_shared<UINavigationController>(list));
  EXPECT_TRUE(ui.screenShows("table: 1 row")) << ui.screen();
  EXPECT_TRUE(ui.screenShows("0.0: Cydia Store | " + KVOutsideStore::httpLocation() + " | >"));
  auto row = std::dynamic_pointer_cast<SearchCell>(list->tableView()->cellForRowAtIndexPath({0, 0}));
  ASSERT_TRUE(row);
  EXPECT_TRUE(row->separator()->isHidden()) << "the last row's separator";
  EXPECT_TRUE(row->followBtn()->isHidden());
  ASSERT_TRUE(ui.pullToRefresh());
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return !list->refreshControl()->isRefreshing(); }, 20));
  // The Refresh button never starts the pull's spinner.
  ASSERT_TRUE(ui.tap("Refresh"));
  EXPECT_FALSE(list->refreshControl()->isRefreshing());
}

}  // namespace
