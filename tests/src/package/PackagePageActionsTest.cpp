// What the package page does when it is acted on, with the vendor's service played on
// 127.0.0.1: the stars, the heart, the links and mail, the developer card and its
// avatar, the newest review, and a review that reads like a problem report.
#include <gtest/gtest.h>

#include "PackagePageFixture.h"
#include "account/KVAccount.h"
#include "account/KVKeychainBindingsController.h"
#include "foundation/Files.h"
#include "package/ReviewsCell.h"
#include "package/WebViewViewController.h"
#include "support/FileSizeCeiling.h"
#include "support/TestVendorService.h"
#include "uikit/UIAlertController.h"
#include "uikit/UIApplication.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UIButton.h"
#include "uikit/UILabel.h"
#include "uikit/UITextView.h"

namespace {

class PackagePageActionsTest : public PackagePageFixture {
 protected:
  void SetUp() override {
    PackagePageFixture::SetUp();
    KVKeychainBindingsController::sharedKeychainBindingsController().resetValuesForTesting();
    location = refreshed("tools", stanza("com.example.tool", "1.2", {{"Name", "Example Tool"},
                                                                     {"Author", "Example Dev <dev@example.org>"},
                                                                     {"Depiction", server.url("/site/")}}) +
                                      stanza("com.example.short", "1.0", {{"Name", "Short"}, {"Author", "Me"}}));
  }
  void TearDown() override {
    KVKeychainBindingsController::sharedKeychainBindingsController().resetValuesForTesting();
    PackagePageFixture::TearDown();
  }
  void signIn() {
    TestVendorService::User user;
    user.id = 7;
    user.username = "ann";
    user.password = "pw";
    service.addUser(user);
    KVAccount::instance().setUsername(std::string("ann"));
    KVAccount::instance().setUserID(std::string("7"));
  }
  void install(const std::string& identifier) {
    edit(identifier, [](KVRPackage& p) {
      p.setIsInstalled(true);
      p.setInstalledVersion(p.version());
    });
  }
  template <class Screen>
  Screen* opened(PackageDetailsViewController& page) {
    return dynamic_cast<Screen*>(page.lastOpenedScreen().get());
  }

  TestVendorService service;
  std::string location;
};

TEST_F(PackagePageActionsTest, TheThirdStarRatesAnInstalledPackageWithoutTitleOrText) {
  signIn();
  install("com.example.tool");
  auto page = open("com.example.tool");
  ASSERT_TRUE(ui.tap("Star 3")) << ui.screen();
  for (size_t i = 0; i < 5; ++i)
    EXPECT_EQ(page->ratingButtons()[i]->currentImage()->name(), i < 3 ? "starSelected" : "star") << i;
  EXPECT_EQ(page->outlets().ratingLbl->text(), "3 out of 5 rating");
  ASSERT_TRUE(service.waitForRequests("ratings/rate.php", 1));
  EXPECT_TRUE(waitFor([&] { return package("com.example.tool")->myRating() == 3; }));
  EXPECT_EQ(service.fieldsSentTo("ratings/rate.php").front(),
            (TestVendorService::Fields{{"packageID", "com.example.tool"}, {"username", "ann"}, {"rate", "3"}}));
  EXPECT_EQ(page->packageDictionary()["myRating"], Value()) << "the snapshot follows at the next load";
  EXPECT_EQ(service.violations(), std::vector<std::string>{});
}

// The stars lit by a tap the disk refuses to keep go back, and a card says why.
TEST_F(PackagePageActionsTest, AStarTheDiskRefusesToKeepGoesOutAgainAndSaysWhy) {
  install("com.example.tool");
  auto page = open("com.example.tool");
  {
    FileSizeCeiling full(1);  // every write of the database's files fails, as on a full disk
    ASSERT_TRUE(ui.tap("Star 3")) << ui.screen();
    DispatchQueue::drainGlobalQueues();
    waitFor([&] { return ui.screenShows("Your rating could not be kept"); });
  }
  EXPECT_TRUE(ui.screenShows("Your rating could not be kept: ")) << ui.screen();
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(page->ratingButtons()[i]->currentImage()->name(), "star") << i;
  EXPECT_EQ(page->outlets().ratingLbl->text(), "0 out of 5 rating");
  EXPECT_EQ(package("com.example.tool")->myRating(), std::nullopt);
}

TEST_F(PackagePageActionsTest, ALongPressOnGetOffersTheOptionsAndShareOffersTheSheet) {
  open("com.example.tool");
  ASSERT_TRUE(ui.longPress("GET")) << ui.screen();
  EXPECT_TRUE(ui.screenShows("What would you like to do?")) << ui.screen();
  ASSERT_TRUE(ui.tap("Cancel"));
  ASSERT_TRUE(ui.tap("Share"));
  EXPECT_TRUE(ui.screenShows("Check out \"Example Tool\" by Example Dev")) << ui.screen();
}

TEST_F(PackagePageActionsTest, AStarOrAReviewOfAPackageNotInstalledAsksForTheInstallFirst) {
  auto page = open("com.example.tool");
  ASSERT_TRUE(ui.tap("Star 3"));
  EXPECT_TRUE(ui.screenShows("You need to install Example Tool before being able to leave a review")) << ui.screen();
  ASSERT_TRUE(ui.tap("OK"));
  ASSERT_TRUE(ui.tap("Leave a Review"));
  EXPECT_TRUE(ui.screenShows("Leave a Review")) << ui.screen();
  ui.tap("OK");
  EXPECT_FALSE(page->ratingButtons()[0]->isSelected());
  EXPECT_EQ(service.fieldsSentTo("ratings/rate.php").size(), 0u);
  EXPECT_EQ(package("com.example.tool")->myRating(), std::nullopt);
}

TEST_F(PackagePageActionsTest, TheHeartMarksTheWishlistAndUploadsItOnlyForASignedInAccount) {
  auto page = open("com.example.tool");
  ASSERT_TRUE(ui.tap("Not Fav")) << ui.screen();
  EXPECT_EQ(package("com.example.tool")->isInWishlist(), true);
  EXPECT_EQ(page->wishlistBtn()->image()->name(), "Fav");
  ui.advance(1);
  EXPECT_EQ(service.rawSentTo("wishlist/wishlist.php").size(), 0u) << "signed out: nothing is sent";

  signIn();
  ASSERT_TRUE(ui.tap("Fav"));
  EXPECT_EQ(package("com.example.tool")->isInWishlist(), false);
  EXPECT_TRUE(service.waitForRequests("wishlist/wishlist.php", 1));
}

TEST_F(PackagePageActionsTest, LinksOpenTheBrowserOrSayWhyNotAndMailGoesToTheContact) {
  auto page = open("com.example.tool");
  ASSERT_TRUE(ui.tap("Developer Website"));
  auto* site = opened<WebViewViewController>(*page);
  ASSERT_TRUE(site);
  EXPECT_EQ(site->viewTitle(), "Example Dev's website");
  EXPECT_EQ(site->websiteURL(), server.url("/site/"));
  EXPECT_FALSE(site->navigationItem().leftBarButtonItem()) << "pushed: no Close";
  ui.back();

  EXPECT_FALSE(page->isShown(page->outlets().donateBtn)) << "only an info file's source offers it";
  page->donate();
  ui.runUntilIdle();
  EXPECT_TRUE(ui.screenShows("This feature is not supported by this repository")) << ui.screen();
  ui.tap("OK");
  page->mutablePackageDictionary().set("donateLink", server.url("/give"));
  page->donate();
  ui.runUntilIdle();
  ASSERT_TRUE(opened<WebViewViewController>(*page));
  EXPECT_EQ(opened<WebViewViewController>(*page)->viewTitle(), "Example Dev's Donate Link");
  ui.back();

  // A link in the description opens in the browser, not outside.
  NSTextAttributes link;
  link.link = server.url("/linked");
  page->outlets().descriptionLbl->setAttributedText(NSAttributedString("see more", link));
  ASSERT_TRUE(page->outlets().descriptionLbl->tapLinkByUser("see more"));
  ui.runUntilIdle();
  EXPECT_EQ(opened<WebViewViewController>(*page)->viewTitle(), "Example Tool's Link");
  EXPECT_TRUE(UIApplication::sharedApplication().openedURLs().empty());
  ui.back();

  // The address and the name go into the mail link encoded: "&" would start another field.
  page->mutablePackageDictionary().set("contact", std::string("dev&co@example.org"));
  page->mutablePackageDictionary().set("name", std::string("Example Tool & More"));
  ASSERT_TRUE(ui.tap("Contact Developer"));
  EXPECT_EQ(UIApplication::sharedApplication().openedURLs(),
            std::vector<std::string>{
                "mailto:dev%26co@example.org?subject=Quillbark%205:%20Question%20regarding%20Example%20Tool%20%26%20More"});

  // Nothing to reach: the website card names the developer's fallback.
  auto nobody = open("com.example.short");
  nobody->mutablePackageDictionary().erase("maintainer");
  nobody->mutablePackageDictionary().erase("contact");
  nobody->developerWebsite();
  ui.runUntilIdle();
  EXPECT_TRUE(ui.screenShows("No dev name found hasn't provided a website link")) << ui.screen();
}

TEST_F(PackagePageActionsTest, TheDeveloperCardTakesTheAvatarTheSearchFinds) {
  QB_TESTDATA_OR_SKIP(avatar, "repos/nepeta/CydiaIcon.png");
  server.serveFolder(Files::deletingLastPathComponent(avatar), "/avatars/");
  service.addDeveloper(Value::dict({{"developer", "Example Dev"}, {"avatar", server.url("/avatars/CydiaIcon.png")}}));
  auto page = open("com.example.tool");
  ASSERT_TRUE(waitFor([&] { return page->authorAvatar() && page->authorAvatar()->name().empty(); }));
  EXPECT_EQ(page->authorAvatar()->size(), UIImage::imageWithContentsOfFile(avatar)->size());
  ASSERT_TRUE(ui.tap("Developer · Example Dev")) << ui.screen();
  ASSERT_TRUE(page->lastOpenedScreen());
  EXPECT_TRUE(ui.screenShows("title: Developer Page\nstack: Example Tool > Developer Page")) << ui.screen();
  ui.back();
  // Appearing again, the page looks its developer up again: that answer is counted first.
  ASSERT_TRUE(service.waitForRequests("developers/devs.php", 2));

  // Too short a name to search: the placeholder picture, without asking.
  size_t searches = service.fieldsSentTo("developers/devs.php").size();
  auto shortName = open("com.example.short");
  ASSERT_TRUE(waitFor([&] { return shortName->authorAvatar() != nullptr; }));
  EXPECT_EQ(shortName->authorAvatar()->name(), "iTunesArtwork");
  EXPECT_EQ(service.fieldsSentTo("developers/devs.php").size(), searches);
}

TEST_F(PackagePageActionsTest, TheNewestReviewWithItsReplyAndAReviewThatReportsAProblem) {
  service.addReview({.id = 4, .packageID = "com.example.tool", .username = "bob", .title = "works WELL",
                     .text = "Nice.", .date = "2024-01-01", .rate = 4, .reply = "Thanks", .upvotes = 3,
                     .downvotes = 1});
  auto page = open("com.example.tool");
  ASSERT_TRUE(waitFor([&] { return page->isShown(page->outlets().reviewsCollectionView); }));
  EXPECT_FALSE(page->isShown(page->outlets().reviewsLbl));
  EXPECT_FALSE(page->outlets().seeAllReviewsBtn->isHidden());
  auto cell = std::dynamic_pointer_cast<ReviewsCell>(page->outlets().reviewsCollectionView->cellForItemAtIndexPath({0, 0}));
  ASSERT_TRUE(cell);
  EXPECT_EQ(cell->titleLbl()->text(), "Works Well");
  EXPECT_EQ(cell->voteLbl()->text(), "+3 -1");
  EXPECT_EQ(cell->commentLbl()->text(), "Developer \"Example Dev\" replied\n\nNice.");
  EXPECT_TRUE(cell->commentLbl()->attributedText()->attributesAtIndex(0).font->isItalic());
  EXPECT_EQ(cell->ratingButtons()[3]->currentImage()->name(), "starOtherUsers");
  EXPECT_EQ(cell->ratingButtons()[4]->currentImage()->name(), "star");

  // The leave-review form found a problem report: mail first, or post it anyway.
  signIn();
  page->showReviewWarningWithTitle("Crash", "It crashes", 2);
  ui.runUntilIdle();
  EXPECT_TRUE(ui.screenShows("Package Support")) << ui.screen();
  ASSERT_TRUE(ui.tap("Leave review"));
  ASSERT_TRUE(service.waitForRequests("ratings/rate.php", 1));
  ASSERT_TRUE(waitFor([&] { return ui.screenShows("Example Tool Review"); })) << ui.screen();
  EXPECT_TRUE(ui.screenShows("Review has been successfully posted"));
  auto sent = service.fieldsSentTo("ratings/rate.php").front();
  EXPECT_EQ(sent.size(), 5u) << "with its title and text";
  EXPECT_TRUE(waitFor([&] { return package("com.example.tool")->myRating() == 2; }));
  EXPECT_TRUE(waitFor([&] { return page->outlets().ratingLbl->text() == "2 out of 5 rating"; }));
}

}  // namespace
