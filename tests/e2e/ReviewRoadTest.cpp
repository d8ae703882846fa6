// Reviews of a package installed through the install road in a device root, with the
// vendor's service played on 127.0.0.1: a review that reads like a problem report goes
// to the page's warning and is not sent, one without stars sends 0 and clears the
// user's own rating, one with "&", "#", "é" and an emoji arrives as typed, the list shows
// the service's reviews newest first, and a vote fetches the review again.
#include <gtest/gtest.h>

#include "InstallRoadFixture.h"
#include "account/KVAccount.h"
#include "account/KVKeychainBindingsController.h"
#include "package/AllReviewsViewController.h"
#include "package/FullReviewViewController.h"
#include "package/LeaveReviewViewController.h"
#include "package/PackageDetailsViewController.h"
#include "support/TestVendorService.h"
#include "support/UIDriver.h"
#include "uikit/UIButton.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"

namespace {

class ReviewRoad : public InstallRoadFixture {
 protected:
  void TearDown() override {
    KVKeychainBindingsController::sharedKeychainBindingsController().resetValuesForTesting();
    InstallRoadFixture::TearDown();
  }
  // The form presented by the page's "Leave a Review", filled in and sent.
  void review(const std::string& stars, const std::string& title, const std::string& text) {
    ASSERT_TRUE(ui.tap("Leave a Review")) << ui.screen();
    ASSERT_TRUE(dynamic_cast<LeaveReviewViewController*>(ui.front())) << ui.screen();
    if (!stars.empty()) {
      ASSERT_TRUE(ui.tap(stars));
    }
    ASSERT_TRUE(ui.tap("Title"));
    ASSERT_TRUE(ui.type(title));
    ASSERT_TRUE(ui.tap("Write your review here..."));
    ASSERT_TRUE(ui.type(text));
    ASSERT_TRUE(ui.tap("Review"));
  }
  bool waitFor(const std::function<bool()>& condition) { return RunLoop::main().runUntil(condition, 20); }

  TestVendorService service;
  UIDriver ui;
};

TEST_F(ReviewRoad, AnInstalledPackageIsReviewedVotedOnAndItsProblemReportsGoToThePage) {
  std::string location = locationOf("road");
  DebBuilder debs(repositories.file("road"));
  debs.build(DebPackage("com.example.tool", "1.0")
                 .field("Name", "Example Tool")
                 .field("Author", "Example Dev <dev@example.org>")
                 .file("/usr/bin/example-tool", "tool\n"),
             "tool.deb");
  ASSERT_TRUE(DebBuilder::writeFlatRepository(repositories.file("road"), {"tool.deb"}));
  ASSERT_TRUE(refresh(location));
  install("com.example.tool");
  ASSERT_EQ(deviceRoot().packageStatus("com.example.tool"), "install ok installed");
  TestVendorService::User ann;
  ann.id = 7;
  ann.username = "ann";
  ann.password = "pw";
  service.addUser(ann);
  KVAccount::instance().setUsername(std::string("ann"));
  KVAccount::instance().setUserID(std::string("7"));
  TestVendorService::Review older;
  older.id = 1;
  older.packageID = "com.example.tool";
  older.username = "bob";
  older.title = "old";
  older.text = "First.";
  older.rate = 4;
  service.addReview(older);

  auto page = std::make_shared<PackageDetailsViewController>(screenContext(), "com.example.tool");
  ui.show(std::make_shared<UINavigationController>(page));
  ASSERT_TRUE(waitFor([&] { return page->outlets().getBtn->currentTitle() == "UNINSTALL"; }));

  // A problem report: the form closes and the page offers the developer's address first.
  review("Star 2", "Small issue", "Otherwise fine");
  EXPECT_TRUE(ui.screenShows("Package Support")) << ui.screen();
  EXPECT_EQ(service.fieldsSentTo("ratings/rate.php").size(), 0u) << "nothing is sent";
  ASSERT_TRUE(ui.tap("Send email"));

  // No star: 0 is sent and the user's own rating goes.
  ASSERT_EQ(root->packagesManager->setPackageRating("com.example.tool", 2), nullptr);
  review("", "Nice", "Works");
  ASSERT_TRUE(service.waitForRequests("ratings/rate.php", 1));
  ASSERT_TRUE(waitFor([&] { return ui.screenShows("Example Tool Review"); })) << ui.screen();
  EXPECT_TRUE(ui.screenShows("Review has been successfully posted"));
  EXPECT_EQ(service.fieldsSentTo("ratings/rate.php")[0],
            (TestVendorService::Fields{{"packageID", "com.example.tool"}, {"username", "ann"}, {"rate", "0"},
                                       {"title", "Nice"}, {"description", "Works"}}));
  EXPECT_FALSE(package("com.example.tool")->myRating());
  ASSERT_TRUE(ui.tap("OK"));

  // Three stars, and a text that arrives as typed.
  review("Star 3", "Great & #1", "Works é 😀 & more");
  ASSERT_TRUE(service.waitForRequests("ratings/rate.php", 2));
  ASSERT_TRUE(waitFor([&] { return ui.screenShows("Review has been successfully updated"); })) << ui.screen();
  EXPECT_EQ(service.fieldsSentTo("ratings/rate.php")[1],
            (TestVendorService::Fields{{"packageID", "com.example.tool"}, {"username", "ann"}, {"rate", "3"},
                                       {"title", "Great & #1"}, {"description", "Works é 😀 & more"}}));
  EXPECT_EQ(package("com.example.tool")->myRating(), 3);
  ASSERT_TRUE(ui.tap("OK"));

  // All reviews, the newest first; ann's in full, voted on.
  page->seeAllReviews();
  ui.runUntilIdle();
  auto* all = dynamic_cast<AllReviewsViewController*>(ui.front());
  ASSERT_TRUE(all) << ui.screen();
  ASSERT_TRUE(waitFor([&] { return all->packageReviews().size() == 2; }));
  EXPECT_EQ(all->packageReviews()[0].name, "ann");
  EXPECT_EQ(all->packageReviews()[1].name, "bob");
  ASSERT_TRUE(ui.tap("0.0")) << ui.screen();
  auto* full = dynamic_cast<FullReviewViewController*>(ui.front());
  ASSERT_TRUE(full) << ui.screen();
  EXPECT_EQ(full->titleLbl()->text(), "Great & #1");
  ASSERT_TRUE(ui.tap("Reply"));
  EXPECT_FALSE(ui.screenShows("Reply with text")) << "ann is not the package's developer";
  ASSERT_TRUE(ui.tap("Upvote"));
  ASSERT_TRUE(waitFor([&] { return ui.screenShows("Vote counted."); })) << ui.screen();
  EXPECT_EQ(full->voteLbl()->text(), "+1 -0") << "the review as fetched again";
  EXPECT_EQ(service.fieldsSentTo("ratings/reply.php").back(),
            (TestVendorService::Fields{{"id", "7"}, {"upvote", "1"}, {"review_id", "2"}}));
  EXPECT_EQ(service.violations(), std::vector<std::string>{});
}

}  // namespace
