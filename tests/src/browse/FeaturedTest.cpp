// The featured home on a played vendor service whose featured list names real packages
// of a refreshed repository, with banner pictures served beside it (a PNG, and a JPEG
// named .png): the cache files, the cards, the 4 s auto-advance with exactly five
// banners, a second start from the cache, banners answering out of order while the main
// thread reads, an unknown package's source added from its banner, the first run and the
// what's-new page, the device's facts and the account button.
#include <gtest/gtest.h>

#include <cmath>

#include "BrowseFixture.h"
#include "account/KVAccount.h"
#include "browse/BigFeaturedCell.h"
#include "browse/FeaturedViewController.h"
#include "core/KVPlatform.h"
#include "foundation/Bundle.h"
#include "support/RecordingScreens.h"
#include "support/TestData.h"
#include "support/TestVendorService.h"
#include "system/DeviceRoot.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIAlertController.h"
#include "uikit/UIButton.h"
#include "uikit/UIImage.h"
#include "uikit/UIInteraction.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIPasteboard.h"

namespace {

class FeaturedTest : public BrowseFixture {
 protected:
  void SetUp() override {
    BrowseFixture::SetUp();
    QB_TESTDATA_OR_SKIP(repos, "repos");
    repos_ = repos;
    // The pictures: PNG for even banners, the bootstrap's JPEG (named .png) for odd ones.
    for (int i = 0; i < 6; ++i)
      serveFile("images/banner" + std::to_string(i) + ".png",
                repos_ + (i % 2 ? "/procursus-mirror/CydiaIcon.png" : "/poomsmart/repo/CydiaIcon.png"));
    poomsmart = serveCopy("poomsmart", repos_ + "/poomsmart/repo");
    ASSERT_TRUE(refresh(poomsmart));
  }
  void TearDown() override {
    KVAccount::instance().logout();
    BrowseFixture::TearDown();
  }
  void serveFile(const std::string& path, const std::string& from) {
    Files::createDirectories(Files::deletingLastPathComponent(repositories.file(path)));
    ASSERT_TRUE(Files::copyItem(from, repositories.file(path)));
  }
  static std::string bannerAddress(const TestHttpServer& server, int i) {
    return server.url("/images/banner" + std::to_string(i) + ".png");
  }
  // The vendor's featured list: the first `count` banners of the repository's own
  // featured file, and cards naming its packages and one the database lacks.
  Value featured(int count) {
    auto file = Value::fromJSON(Files::readText(repos_ + "/poomsmart/repo/sileo-featured.json").value_or(""));
    Value::Array banners;
    for (int i = 0; i < count; ++i) {
      const Value& banner = (*file)["banners"][size_t(i % 7)];
      banners.push_back(Value::dict({{"bundle_id", banner["package"]},
                                     {"title", banner["title"]},
                                     {"developer", Value("PoomSmart")},
                                     {"description", Value("A featured tweak")},
                                     {"background", Value(bannerAddress(server, i))},
                                     {"logo", Value("")},
                                     {"repo", Value(poomsmart)}}));
    }
    auto ids = [](std::vector<std::string> list) {
      Value::Array items;
      for (auto& id : list) items.push_back(Value::dict({{"bundle_id", Value(id)}}));
      return Value(items);
    };
    return Value::dict({{"featuredTop", Value(banners)},
                        {"featuredMiddle", ids({"com.ps.youpip", "com.example.absent", "com.ps.amber"})},
                        {"mustHaveTweaks", ids({"com.ps.highgraphics"})},
                        {"mustHaveThemes", ids({})},
                        {"extendApps", ids({"com.example.absent"})}});
  }
  std::shared_ptr<FeaturedViewController> show(const KVScreenContext& context) {
    auto screen = std::make_shared<FeaturedViewController>(context);
    ui.show(std::make_shared<UINavigationController>(screen));
    return screen;
  }
  // Until the screen shows `count` banners, each with its own picture.
  static bool loaded(FeaturedViewController& screen, size_t count) {
    auto fallback = UIImage::imageNamed("default-banner.jpeg");
    return RunLoop::main().runUntil(
        [&] {
          const auto& images = screen.dictionaryOfBackgroundImages();
          if (screen.banners().size() != count || images.size() != count) return false;
          for (const auto& [index, image] : images)
            if (!image || image == fallback) return false;
          return true;
        },
        20);
  }
  // The banner the carousel shows in its middle.
  static long shownBanner(FeaturedViewController& screen) {
    UICollectionView* carousel = screen.topFeaturedCollectionView();
    double middle = carousel->contentOffset().x + carousel->bounds().width() / 2;
    for (long i = 0; i < carousel->numberOfItemsInSection(0); ++i)
      if (std::fabs(carousel->frameForItemAtIndexPath(NSIndexPath::indexPathForItem(i, 0)).midX() - middle) < 1) return i;
    return -1;
  }
  size_t bannerRequests() const {
    size_t count = 0;
    for (const auto& request : server.requests()) count += request.path.rfind("/images/", 0) == 0;
    return count;
  }

  std::string repos_, poomsmart;
  TestVendorService service;
};

TEST_F(FeaturedTest, FiveBannersAreCachedAdvanceEveryFourSecondsAndComeFromTheCacheNextTime) {
  service.setFeatured(featured(5));
  auto recording = root->recordScreens();
  auto screen = show(recording->context());
  ASSERT_TRUE(loaded(*screen, 5)) << ui.screen();

  // One PNG file per banner, named by its address with "_" for "/".
  for (int i = 0; i < 5; ++i) {
    std::string name = bannerAddress(server, i);
    std::replace(name.begin(), name.end(), '/', '_');
    std::string path = DeviceRoot::devicePath(DeviceRoot::kApplicationSupport) + "/HomeCache/" + name;
    EXPECT_EQ(FeaturedViewController::bannerCachePath(bannerAddress(server, i)), path);
    EXPECT_EQ(Files::readText(path).value_or("").substr(0, 4), "\x89PNG") << path;
  }
  // The cards hold the packages the database has, in the vendor's order.
  EXPECT_EQ(screen->arrayOfFeaturedPackagesMiddle(), (std::vector<std::string>{"com.ps.youpip", "com.ps.amber"}));
  EXPECT_EQ(screen->arrayOfMustHaveTweaks(), std::vector<std::string>{"com.ps.highgraphics"});
  EXPECT_TRUE(screen->arrayOfExtendApps().empty());
  EXPECT_EQ(screen->cardTableViewHeightConstraint(FeaturedViewController::MostDownloaded)->constant(), 140);
  EXPECT_TRUE(ui.screenShows("YouPiP")) << ui.screen();
  EXPECT_TRUE(ui.screenShows("PoomSmart - ")) << "developer and source on the banner: " << ui.screen();

  // Every 4 s on the main loop's clock: items 1, 2, 3, 4, then 0 again.
  EXPECT_EQ(shownBanner(*screen), 0);
  for (long expected : {1, 2, 3, 4, 0}) {
    ui.advance(4);
    EXPECT_EQ(screen->featuredCollectionViewPage(), expected);
    EXPECT_EQ(shownBanner(*screen), expected);
  }
  // A banner opens its package's page; so does a long press, which stops the advance.
  ASSERT_TRUE(screen->topFeaturedCollectionView()->selectItemByUser(NSIndexPath::indexPathForItem(1, 0)));
  ui.runUntilIdle();
  ASSERT_TRUE(ui.back());
  auto cell = screen->topFeaturedCollectionView()->cellForItemAtIndexPath(NSIndexPath::indexPathForItem(0, 0));
  ASSERT_NE(cell, nullptr);
  ASSERT_TRUE(UIInteraction::longPressView(cell.get(), 0.5));
  ui.runUntilIdle();
  EXPECT_EQ(recording->opened(), (std::vector<std::string>{"native com.ps.amber", "native com.ps.youpip"}));
  EXPECT_FALSE(screen->isTimerValid());
  ASSERT_TRUE(ui.back());

  // A new start finds every picture in the cache.
  size_t requests = bannerRequests();
  EXPECT_EQ(requests, 5u);
  auto again = show(screenContext());
  ASSERT_TRUE(loaded(*again, 5));
  EXPECT_EQ(bannerRequests(), requests);
  // A drag of the carousel stops the advance for good and centres the nearest banner.
  UICollectionView* carousel = again->topFeaturedCollectionView();
  carousel->scrollByUser({carousel->bounds().width() * 1.2, 0});
  ui.runUntilIdle();
  EXPECT_EQ(shownBanner(*again), 1);
  EXPECT_FALSE(again->isTimerValid());
  ui.advance(8);
  EXPECT_EQ(shownBanner(*again), 1);
}

TEST_F(FeaturedTest, FourOrSixBannersNeverAdvance) {
  for (int count : {4, 6}) {
    service.setFeatured(featured(count));
    auto screen = show(screenContext());
    ASSERT_TRUE(loaded(*screen, size_t(count))) << count;
    ui.advance(12);
    EXPECT_EQ(screen->featuredCollectionViewPage(), 0) << count;
    EXPECT_EQ(shownBanner(*screen), 0) << count;
  }
}

// The banners that answer after the last one still show: the pictures are applied once
// every download has ended. The main thread reads what the screen shows meanwhile, and a
// source refreshed before the pictures are in keeps its package in the card they find.
TEST_F(FeaturedTest, BannersAnsweringAfterTheLastOneStillShow) {
  for (int i = 0; i < 4; ++i) {
    TestHttpResponse slow;
    slow.body = Files::readText(repositories.file("images/banner" + std::to_string(i) + ".png")).value_or("");
    slow.contentType = "image/png";
    slow.delay = std::chrono::milliseconds(1000 + 200 * i);
    server.respond("/images/banner" + std::to_string(i) + ".png", slow);
  }
  std::string own = serveIndex("own", stanza("com.example.late", "1.0", {{"Name", "Late"}, {"Section", "Tweaks"}}));
  Value list = featured(5);
  (*list.dictionaryPtr())["featuredMiddle"].arrayPtr()->push_back(Value::dict({{"bundle_id", Value("com.example.late")}}));
  service.setFeatured(list);
  auto screen = show(screenContext());
  ASSERT_TRUE(refresh(own));
  size_t readings = 0;
  bool done = RunLoop::main().runUntil(
      [&] {
        ++readings;
        auto fallback = UIImage::imageNamed("default-banner.jpeg");
        size_t own = 0;
        for (const auto& [index, image] : screen->dictionaryOfBackgroundImages()) own += image && image != fallback;
        return own == 5;
      },
      20);
  EXPECT_TRUE(done) << readings;
  ui.runUntilIdle();
  EXPECT_EQ(screen->arrayOfFeaturedPackagesMiddle(),
            (std::vector<std::string>{"com.ps.youpip", "com.ps.amber", "com.example.late"}));
}

TEST_F(FeaturedTest, ABannerOfAnUnknownPackageOffersToAddItsSource) {
  std::string own = serveIndex("own", stanza("com.example.tool", "1.0", {{"Name", "Tool"}, {"Section", "Tweaks"}}));
  Value list = featured(1);
  Value::Array banners{Value::dict({{"bundle_id", Value("com.example.tool")},
                                    {"title", Value("Tool")},
                                    {"background", Value(bannerAddress(server, 0))},
                                    {"repo", Value(own.substr(0, own.size() - 1))}})};
  (*list.dictionaryPtr())["featuredTop"] = Value(banners);
  service.setFeatured(list);
  auto screen = show(screenContext());
  ASSERT_TRUE(loaded(*screen, 1));
  EXPECT_TRUE(ui.screenShows("Loading description")) << ui.screen();
  ASSERT_TRUE(screen->topFeaturedCollectionView()->selectItemByUser(NSIndexPath::indexPathForItem(0, 0)));
  ui.runUntilIdle();
  auto* alert = dynamic_cast<UIAlertController*>(ui.front());
  ASSERT_NE(alert, nullptr) << ui.screen();
  EXPECT_EQ(alert->title(), "Add Source");
  EXPECT_EQ(alert->message(), "Before you can install Tool, you need to add the " + own.substr(0, own.size() - 1) +
                                  " source. Would you like to add it now");
  ASSERT_TRUE(ui.tap("Add"));
  // The source is in the database a moment before its refresh is in the pipeline, which
  // may be empty in between: the test waits for the package itself.
  EXPECT_TRUE(RunLoop::main().runUntil([&] { return package("com.example.tool").has_value(); }, 20))
      << "the source is added and refreshed";
  ASSERT_TRUE(waitForPipeline());
}

TEST_F(FeaturedTest, TheFirstRunComesFirstAndTheWhatsNewPageOncePerHigherVersion) {
  preferences().removeObjectForKey("setupDone");
  preferences().removeObjectForKey("welcomeScreenVersion");
  auto screen = show(screenContext());
  ui.runUntilIdle();
  EXPECT_TRUE(ui.screenShows("title: Welcome\nover: Featured")) << ui.screen();
  EXPECT_EQ(preferences().stringForKey("welcomeScreenVersion"), Bundle::main().shortVersion());

  preferences().setObject(Value(true), "setupDone");
  for (const char* handled : {"5.0", "5.1"}) {
    preferences().setObject(Value(handled), "welcomeScreenVersion");
    show(screenContext());
    ui.runUntilIdle();
    EXPECT_TRUE(ui.screenShows("title: Featured")) << handled << ": " << ui.screen();
  }
  // Handled for 4.9, now 5.0: the changelog once.
  preferences().setObject(Value("4.9"), "welcomeScreenVersion");
  auto updated = show(screenContext());
  ui.runUntilIdle();
  EXPECT_TRUE(ui.screenShows("title: Changelog\nover: Featured")) << ui.screen();
  EXPECT_EQ(preferences().stringForKey("welcomeScreenVersion"), Bundle::main().shortVersion());
  ASSERT_TRUE(ui.tap("Done"));
  updated->viewDidAppear(false);
  ui.runUntilIdle();
  EXPECT_TRUE(ui.screenShows("title: Featured")) << ui.screen();
}

TEST_F(FeaturedTest, TheDeviceFactsAreCopiedAndTheAccountButtonShowsTheAvatarRinged) {
  auto screen = show(screenContext());
  ui.runUntilIdle();
  EXPECT_EQ(screen->infoBtn()->currentImage()->name(), "Info");
  ASSERT_TRUE(ui.longPress(KVPlatform::deviceModelID() + "; iOS " + KVPlatform::firmwareVersion()));
  EXPECT_TRUE(ui.screenShows("Copy Device Details")) << ui.screen();
  ASSERT_TRUE(ui.tap("Device Model & Identifier"));
  EXPECT_EQ(UIPasteboard::generalPasteboard().string(),
            "Device Model: " + KVPlatform::deviceModelID() + "\nDevice Identifier: " + KVPlatform::deviceUDID().value_or(""));

  // Signed in with an avatar, while followed developers have new packages.
  KVAccount::instance().setUsername(std::string("ann"));
  KVAccount::instance().setAvatarURL(bannerAddress(server, 0));
  preferences().setObject(Value(true), "NewPackagesByFollowedDevelopers");
  screen->viewWillAppear(false);
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return screen->avatarImage() != nullptr; }, 20));
  EXPECT_EQ(screen->infoBtn()->currentImage(), screen->avatarImage());
  EXPECT_EQ(screen->infoBtn()->layer().cornerRadius, screen->infoBtn()->frame().width() / 2);
  EXPECT_EQ(screen->infoBtn()->layer().borderWidth, 2.0);
  EXPECT_EQ(screen->infoBtn()->layer().borderColor, UIColor::systemRedColor());
}

}  // namespace
