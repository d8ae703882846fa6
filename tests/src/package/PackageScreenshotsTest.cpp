// A real repository's package with three real screenshots served on 127.0.0.1: written
// to the cache by their places and read back without the network, a missing file or a
// failed screenshot, one load at a time, a network that fails, and the viewer.
#include <gtest/gtest.h>

#include "PackagePageFixture.h"
#include "foundation/Files.h"
#include "package/KVPackageScreenshots.h"
#include "package/PackageScreenshotsViewController.h"
#include "uikit/UIImage.h"

namespace {

const std::string kPackage = "com.ps.3gunrestrictorflipswitch";

class PackageScreenshotsTest : public PackagePageFixture {
 protected:
  void SetUp() override {
    PackagePageFixture::SetUp();
    auto repo = testdata::find("repos/poomsmart/repo");
    if (!repo) GTEST_SKIP() << testdata::missingMessage("repos/poomsmart/repo");
    server.serveFolder(*repo, "/poomsmart/repo/");
    ASSERT_TRUE(refresh(server.url("/poomsmart/repo/")));
    // Three real pictures of different sizes.
    pictures = {*repo + "/CydiaIcon.png", *testdata::find("repos/nepeta/CydiaIcon.png"),
                *testdata::find("repos/paidrepo/CydiaIcon@3x.png")};
    for (size_t i = 0; i < pictures.size(); ++i) serve(i + 1, {});
    setAddresses({server.url("/shots/1.png"), server.url("/shots/2.png"), server.url("/shots/3.png")});
  }
  // Screenshot n as the server answers it: the picture, unless `answer` replaces it.
  void serve(size_t n, std::optional<TestHttpResponse> answer, std::chrono::milliseconds delay = {}) {
    TestHttpResponse response = answer.value_or(TestHttpResponse{});
    if (!answer) {
      auto bytes = Files::read(pictures[n - 1]);
      response.body.assign(bytes->begin(), bytes->end());
      response.contentType = "image/png";
    }
    response.delay = delay;
    server.respond("/shots/" + std::to_string(n) + ".png", response);
  }
  void setAddresses(const std::vector<std::string>& addresses) {
    edit(kPackage, [&](KVRPackage& p) {
      p.setScreenshots(addresses);
      p.setSileoDepiction(std::nullopt);
    });
  }
  size_t fetched() {
    size_t n = 0;
    for (int i = 1; i <= 3; ++i) n += server.requestCount("/shots/" + std::to_string(i) + ".png");
    return n;
  }
  std::shared_ptr<PackageDetailsViewController> openAndWait() {
    auto page = open(kPackage);
    EXPECT_TRUE(waitFor([&] { return !page->isLoadingScreenshots(); }));
    ui.runUntilIdle();
    return page;
  }
  CGSize pictureSize(size_t n) { return UIImage::imageWithData(*Files::read(pictures[n - 1]))->size(); }

  std::vector<std::string> pictures;
};

TEST_F(PackageScreenshotsTest, ScreenshotsAreCachedByTheirPlacesAndReadBackWithoutTheNetwork) {
  auto page = openAndWait();
  ASSERT_EQ(page->screenshotsDictionary().size(), 3u);
  std::vector<std::string> paths;
  for (long n = 1; n <= 3; ++n) {
    paths.push_back(*KVPackageScreenshots::cachePath(kPackage, n));
    EXPECT_TRUE(Files::exists(paths.back()));
    EXPECT_EQ(page->screenshotsDictionary().at(n)->size(), pictureSize(size_t(n))) << "place " << n;
  }
  EXPECT_EQ(package(kPackage)->screenshotsLocalPaths(), paths);
  EXPECT_TRUE(page->isShown(page->outlets().screenshotsCollectionView));
  EXPECT_TRUE(ui.screenShows("0.2: Screenshot 3")) << ui.screen();
  EXPECT_EQ(fetched(), 3u);
  // A picture shorter than the strip's 422 points keeps its own size.
  auto* strip = page->outlets().screenshotsCollectionView;
  ASSERT_LT(pictureSize(1).height, 422);
  EXPECT_EQ(page->collectionViewSizeForItemAtIndexPath(*strip, {0, 0}), pictureSize(1));
  EXPECT_EQ(page->collectionViewMinimumLineSpacingForSectionAtIndex(*strip, 0), 20);

  // The next page reads the cache.
  auto again = openAndWait();
  EXPECT_EQ(again->screenshotsDictionary().size(), 3u);
  EXPECT_EQ(fetched(), 3u) << "nothing was sent";

  // A cached file gone: the list is forgotten and all three come again.
  ASSERT_TRUE(Files::removeItem(paths[1]));
  auto third = openAndWait();
  EXPECT_EQ(third->screenshotsDictionary().size(), 3u);
  EXPECT_EQ(fetched(), 6u);
  EXPECT_EQ(package(kPackage)->screenshotsLocalPaths(), paths);

  // The viewer: one page per screenshot, in the order of their places.
  ASSERT_TRUE(ui.tap("Screenshot 1")) << ui.screen();
  auto* viewer = dynamic_cast<PackageScreenshotsViewController*>(third->lastOpenedScreen().get());
  ASSERT_TRUE(viewer);
  EXPECT_TRUE(ui.screenShows("Screenshots")) << ui.screen();
  EXPECT_EQ(viewer->screenshotsCollectionView()->numberOfItemsInSection(0), 3);
  for (long item = 0; item < 3; ++item)
    EXPECT_EQ(viewer->screenshotForItem(item)->size(), pictureSize(size_t(item + 1)));
  EXPECT_EQ(viewer->collectionViewSizeForItemAtIndexPath(*viewer->screenshotsCollectionView(), {0, 1}),
            viewer->screenshotsCollectionView()->bounds().size);
  EXPECT_TRUE(ui.screenShows("Screenshot 1 of 3"));
  ASSERT_TRUE(ui.scroll("right"));
  EXPECT_TRUE(ui.screenShows("Screenshot 2 of 3")) << ui.screen();
  ASSERT_TRUE(ui.tap("Close"));
}

TEST_F(PackageScreenshotsTest, AFailedScreenshotLeavesItsPlaceAndTheOthersKeepTheirOrder) {
  serve(2, TestHttpResponse::text("gone", 404));
  auto page = openAndWait();
  const auto& shots = page->screenshotsDictionary();
  ASSERT_EQ(shots.size(), 2u);
  EXPECT_TRUE(shots.count(1) && shots.count(3));
  EXPECT_EQ(page->screenshotForItem(0)->size(), pictureSize(1));
  EXPECT_EQ(page->screenshotForItem(1)->size(), pictureSize(3));
  EXPECT_EQ(page->outlets().screenshotsCollectionView->numberOfItemsInSection(0), 2);
  EXPECT_NE(page->collectionViewSizeForItemAtIndexPath(*page->outlets().screenshotsCollectionView, {0, 0}).width,
            page->view()->bounds().width() - 32)
      << "two keep their own widths";
  // An incomplete cache is not recorded: the next opening asks again.
  EXPECT_TRUE(package(kPackage)->screenshotsLocalPaths().empty());
  EXPECT_EQ(package(kPackage)->screenshots().size(), 3u);
  // The viewer shows the two in the same order.
  PackageScreenshotsViewController viewer(screenContext(), shots);
  EXPECT_EQ(viewer.screenshotForItem(0)->size(), pictureSize(1));
  EXPECT_EQ(viewer.screenshotForItem(1)->size(), pictureSize(3));
  EXPECT_FALSE(viewer.screenshotForItem(2));
}

TEST_F(PackageScreenshotsTest, ASecondAppearanceDuringSlowDownloadsStartsNoSecondLoad) {
  for (size_t n = 1; n <= 3; ++n) serve(n, std::nullopt, std::chrono::milliseconds(800));
  auto page = open(kPackage);
  ASSERT_TRUE(page->isLoadingScreenshots());
  // Away and back while the pictures are on their way.
  auto other = std::make_shared<UIViewController>();
  page->navigationController()->pushViewController(other, false);
  page->navigationController()->popViewControllerAnimated(false);
  ui.runUntilIdle();
  ASSERT_TRUE(waitFor([&] { return !page->isLoadingScreenshots(); }));
  EXPECT_EQ(fetched(), 3u);
  EXPECT_EQ(package(kPackage)->screenshotsLocalPaths().size(), 3u);
  EXPECT_EQ(page->screenshotsDictionary().size(), 3u);
}

TEST_F(PackageScreenshotsTest, OnlyAnswersWithoutPicturesEmptyTheList) {
  // No network: the addresses stay.
  std::vector<std::string> offline;
  for (int n = 1; n <= 3; ++n) offline.push_back(TestHttpServer::closedBaseURL() + "/" + std::to_string(n) + ".png");
  setAddresses(offline);
  auto page = openAndWait();
  EXPECT_TRUE(page->screenshotsDictionary().empty());
  EXPECT_TRUE(page->screenshotRetrievingFail);
  EXPECT_EQ(package(kPackage)->screenshots(), offline);

  // Every address answers, none with a picture: the list is emptied.
  for (size_t n = 1; n <= 3; ++n) serve(n, TestHttpResponse::text("not a picture"));
  setAddresses({server.url("/shots/1.png"), server.url("/shots/2.png"), server.url("/shots/3.png")});
  openAndWait();
  EXPECT_TRUE(package(kPackage)->screenshots().empty());
}

}  // namespace
