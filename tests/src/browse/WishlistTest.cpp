// The wishlist over a real repository served on 127.0.0.1 and refreshed: the hearted
// packages as rows, each opening the native page, read again at every appearance, and
// the alert that leads back when none is left.
#include <gtest/gtest.h>

#include "browse/PackagesWishlistViewController.h"
#include "database/KVRPackages.h"
#include "interface/PackageCell.h"
#include "support/RecordingScreens.h"
#include "support/SourceRefreshFixture.h"
#include "support/TestData.h"
#include "support/UIDriver.h"
#include "uikit/UINavigationController.h"

namespace {

class WishlistTest : public SourceRefreshFixture {
 protected:
  UIDriver ui;
};

TEST_F(WishlistTest, HeartedPackagesAreRowsThatOpenTheirPagesUntilNoneIsLeft) {
  QB_TESTDATA_OR_SKIP(poomsmart, "repos/poomsmart/repo");
  server.serveFolder(poomsmart, "/poomsmart/");
  ASSERT_TRUE(refresh(server.url("/poomsmart/")));
  auto identifiers = KVRPackage::objectsWhere("maintainer = %@", "PoomSmart").valuesForKey("identifier");
  ASSERT_GE(identifiers.size(), 3u);
  auto& packages = *root->packages;
  for (size_t i = 0; i < 3; ++i) ASSERT_EQ(packages.setPackageInWishlist(identifiers[i].asString(), true), nullptr);

  auto screens = root->recordScreens();
  KVScreenContext context = screenContext();
  context.screens = screens;
  auto home = std::make_shared<UIViewController>();
  auto navigation = std::make_shared<UINavigationController>(home);
  ui.show(navigation);
  auto wishlist = std::make_shared<PackagesWishlistViewController>(context);
  navigation->pushViewController(wishlist, false);
  ui.runUntilIdle();
  ASSERT_EQ(wishlist->wishlistTableView()->numberOfRowsInSection(0), 3);
  for (long row = 0; row < 3; ++row) {
    auto cell = std::dynamic_pointer_cast<PackageCell>(wishlist->tableViewCellForRowAtIndexPath(
        *wishlist->wishlistTableView(), NSIndexPath::indexPathForRow(row, 0)));
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->separator()->isHidden(), row == 2) << "only the last row has no separator";
  }
  const std::string first = wishlist->packages().front();
  ASSERT_TRUE(ui.tap("0.0")) << ui.screen();
  EXPECT_EQ(screens->opened(), std::vector<std::string>{"native " + first}) << "always the native page";

  // The heart cleared on the page: one row less when the list shows again.
  ASSERT_EQ(packages.setPackageInWishlist(first, false), nullptr);
  ASSERT_TRUE(ui.back());
  EXPECT_EQ(wishlist->wishlistTableView()->numberOfRowsInSection(0), 2);
  for (const auto& identifier : wishlist->packages()) ASSERT_EQ(packages.setPackageInWishlist(identifier, false), nullptr);
  ASSERT_TRUE(ui.tap("0.0"));
  ASSERT_TRUE(ui.back());
  EXPECT_TRUE(ui.screenShows("Packages Wishlist")) << ui.screen();
  EXPECT_TRUE(ui.screenShows("There are no packages in your wishlist."));
  ASSERT_TRUE(ui.tap("Close"));
  EXPECT_EQ(navigation->viewControllers().size(), 1u) << "back to the root";
}

}  // namespace
