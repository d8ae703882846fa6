// The package page read from refreshed records: its snapshots, texts and fallbacks, the
// sections it shows or gives up, the header for the screen and its collapse, and the
// colours of an image.
#include <gtest/gtest.h>

#include "support/Written.h"

#include <set>

#include "PackagePageFixture.h"
#include "database/KVRSource.h"
#include "foundation/Files.h"
#include "interface/InteractiveHeaderImageView.h"
#include "interface/UIScrollViewInteractiveHeader.h"
#include "system/DeviceRoot.h"
#include "system/Reachability.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UIButton.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UIScreen.h"
#include "uikit/UITextView.h"
#include "webkit/WKWebView.h"

namespace {

// The page with its depiction fetches counted.
class CountingPage : public PackageDetailsViewController {
 public:
  using PackageDetailsViewController::PackageDetailsViewController;
  void getSileoDepiction() override { ++native; }
  void getHtmlPageForCydiaPackage() override { ++scraped; }
  int native = 0, scraped = 0;
};

class PackagePageTest : public PackagePageFixture {
 protected:
  std::string tools() {
    return refreshed("tools", stanza("com.example.tool", "1.2", {{"Name", "Example Tool"},
                                                                 {"Author", "Example Dev <dev@example.org>"},
                                                                 {"Section", "Utilities"},
                                                                 {"Size", "2874"},
                                                                 {"Depends", "firmware (>= 12.0), firmware (<< 15.0), "
                                                                             "mobilesubstrate, com.example.lib"},
                                                                 {"Description", "a tool"}}) +
                                  stanza("com.example.lib", "1.0", {{"Name", "Library"}, {"Author", "Example Dev"}}) +
                                  stanza("com.example.more", "1.0", {{"Name", "More"}, {"Author", "Example Dev"}}) +
                                  stanza("com.example.zed", "1.0", {{"Name", "Zed"}, {"Author", "Example Dev"}}));
  }
};

TEST_F(PackagePageTest, ARefreshedPackageReadsItsRecordThroughItsSnapshots) {
  std::string location = tools();
  auto page = open("com.example.tool");
  const auto& o = page->outlets();

  // Every property of the record by the store's schema, lists as arrays, and "isFree".
  std::set<std::string> keys;
  for (const auto& key : page->packageDictionary().keys()) keys.insert(key);
  auto schema = KVRPackage::fromObject(*db()->objectForPrimaryKey(KVRPackage::className(), "com.example.tool"))
                    .toObject()
                    .toValue()
                    .keys();
  for (const auto& key : schema) EXPECT_TRUE(keys.count(key)) << key;
  EXPECT_TRUE(keys.count("isFree"));
  EXPECT_TRUE(page->packageDictionary()["dependencies"].isArray());
  EXPECT_EQ(page->packageDictionary()["isFree"], Value(true));
  ASSERT_TRUE(page->sourceFound());
  EXPECT_EQ(page->sourceDictionary()["location"].asString(), location);

  EXPECT_EQ(o.nameLbl->text(), "Example Tool");
  EXPECT_EQ(o.authorLbl->text(), "Example Dev");
  EXPECT_EQ(o.getBtn->currentTitle(), "GET");
  EXPECT_EQ(o.ratingLbl->text(), "0 out of 5 rating");
  EXPECT_EQ(o.packageVersionLbl->text(), "1.2");
  EXPECT_EQ(o.packageCategoryLbl->text(), "Utilities");
  EXPECT_EQ(o.packageSizeLbl->text(), "3 KB");
  EXPECT_EQ(o.packageCompatibilityLbl->text(), "iOS 12.0 - 15.0");
  // One line per entry of the record's list.
  EXPECT_EQ(o.packageDependenciesLbl->text(), "firmware(>=12.0)\nfirmware(<<15.0)\nmobilesubstrate\ncom.example.lib");
  EXPECT_EQ(o.packageConflictsLbl->text(), "No conflicts");
  EXPECT_EQ(o.packagePostInstallActionLbl->text(), "Respring");
  EXPECT_EQ(o.copyrightLbl->text(), "© Example Dev \ncom.example.tool");
  EXPECT_EQ(o.repositoryNameLbl->text(), source(location)->name().value_or(""));
  EXPECT_TRUE(ui.screenShows("Developer · Example Dev")) << ui.screen();

  // More by: the other three by name, two rows shown.
  EXPECT_EQ(page->devPackages(), (std::vector<std::string>{"com.example.lib", "com.example.more", "com.example.zed"}));
  EXPECT_EQ(height(*page, o.otherDevPackagesTableView), 140);
  EXPECT_FALSE(page->isShown(o.otherDevPackagesLbl));
  EXPECT_EQ(o.otherDevPackagesTableView->numberOfRowsInSection(0), 2);
  EXPECT_EQ(o.moreDevPackagesTitle->text(), "More by Example Dev");
  // One other package: one row, 70 high.
  auto lib = open("com.example.zed");
  edit("com.example.more", [](KVRPackage& p) { p.setMaintainer(std::string("Someone Else")); });
  edit("com.example.tool", [](KVRPackage& p) { p.setMaintainer(std::string("Someone Else")); });
  lib->loadDevPackages();
  lib->setContent();
  EXPECT_EQ(lib->devPackages(), std::vector<std::string>{"com.example.lib"});
  EXPECT_EQ(height(*lib, lib->outlets().otherDevPackagesTableView), 70);

  // Installed at 1.0 with 1.2 offered, then held: the version row says so.
  edit("com.example.tool", [](KVRPackage& p) {
    p.setIsInstalled(true);
    p.setInstalledVersion(std::string("1.0"));
    p.setIsUpdated(true);
  });
  EXPECT_EQ(open("com.example.tool")->outlets().packageVersionLbl->text(), "1.0 \u2192 1.2");
  edit("com.example.tool", [](KVRPackage& p) { p.setIsHeld(true); });
  EXPECT_EQ(open("com.example.tool")->outlets().packageVersionLbl->text(), "1.0 (Held)");
}

TEST_F(PackagePageTest, WithoutARecordThePageShowsItsFallbacksAndFetchesNothing) {
  tools();
  server.clearRequests();
  auto page = open("com.example.gone");
  const auto& o = page->outlets();
  EXPECT_EQ(page->packageDictionary(), Value::dict({{"isFree", false}}));
  EXPECT_FALSE(page->sourceFound());
  EXPECT_TRUE(page->sourceDictionary().empty());
  EXPECT_EQ(o.nameLbl->text(), "");
  EXPECT_EQ(o.authorLbl->text(), "No dev name found");
  EXPECT_EQ(o.packageVersionLbl->text(), "None");
  EXPECT_EQ(o.packageCategoryLbl->text(), "None");
  EXPECT_EQ(o.packageCompatibilityLbl->text(), "Nothing specified");
  EXPECT_EQ(o.packageDependenciesLbl->text(), "No dependencies");
  EXPECT_EQ(o.packagePostInstallActionLbl->text(), "Nothing");
  EXPECT_EQ(o.repositoryNameLbl->text(), "Removed Source");
  EXPECT_EQ(o.repositoryDescriptionLbl->text(), "The source of this package has been removed");
  EXPECT_FALSE(page->isLoadingScreenshots());
  EXPECT_EQ(server.requestCount(), 0u);

  // Known only to dpkg.
  written(db()->write([&] {
    KVRPackage record;
    record.setIdentifier("com.example.dpkg");
    record.setSourceLocation(std::string(KVRPackage::kDPKGSourceLocation));
    db()->add(record.toObject());
  }));
  auto dpkg = open("com.example.dpkg");
  EXPECT_EQ(dpkg->outlets().repositoryNameLbl->text(), "DPKG");
  EXPECT_EQ(dpkg->outlets().repositoryDescriptionLbl->text(),
            "This package has been installed through another package manager");
}

TEST_F(PackagePageTest, KeysOnlyAnInfoFileGivesReachTheirRows) {
  std::string location = tools();
  written(db()->write([&] {
    auto s = *source(location);
    s.setIsUsingInfoJson(true);
    db()->addOrUpdate(s.toObject());
  }));
  auto page = open("com.example.tool");
  const auto& o = page->outlets();
  // An info file's source: the larger icon with the buttons beside it, the date and donate rows.
  EXPECT_EQ(o.iconViewWidthConstraint->constant(), 120);
  EXPECT_EQ(o.iconView->layer().cornerRadius, 30);
  EXPECT_TRUE(o.getBtnTopConstraintToIconView->isActive());
  EXPECT_FALSE(o.getBtnTopConstraintToAuthorLbl->isActive());
  EXPECT_TRUE(page->isShown(o.packageDateLbl));
  EXPECT_TRUE(page->isShown(o.donateBtn));
  EXPECT_FALSE(page->isShown(o.packageIsBetaLbl));
  EXPECT_FALSE(page->isShown(o.screenshotsCollectionView)) << "no screenshots in an info file: the message";
  EXPECT_EQ(o.screenshotsLbl->text(), "No screenshots available");

  Value& p = page->mutablePackageDictionary();
  p.set("date", Date{-Date::kUnixToReference + 43200});
  p.set("isBeta", true);
  p.set("youtube", "https://video.example/watch?v=abc123");
  p.set("beforeAfter", Value::dict({{"before", server.url("/missing-before.png")}, {"after", server.url("/a.png")}}));
  p.set("screenshots", Value::array({"https://shots.example/1.png"}));
  page->screenshotRetrievingFail = true;
  relayout(*page);
  EXPECT_EQ(o.packageDateLbl->text(), "None") << "1 January 1970";
  EXPECT_TRUE(page->isShown(o.packageIsBetaLbl));
  EXPECT_EQ(o.packageIsBetaLbl->text(), "Yes");
  EXPECT_TRUE(page->isShown(o.videoPreviewPlayer));
  EXPECT_EQ(o.videoPreviewPlayer->accessibilityLabel(), "Video abc123");
  EXPECT_EQ(spacing(*page, o.videoPreviewTitle), 20) << "no changelog above it";
  EXPECT_EQ(o.screenshotsLbl->text(), "There was an error retrieving screenshots for \"Example Tool\"");
  EXPECT_TRUE(page->isShown(o.beforeAfterTitle));
  EXPECT_EQ(spacing(*page, o.beforeAfterTitle), 30);
  // The pair cannot be fetched: its message instead.
  page->loadInformationFromBackground();
  ASSERT_TRUE(waitFor([&] { return page->beforeAfterScreenshotsRetrievingFail; }));
  EXPECT_TRUE(page->isShown(o.beforeAfterLbl));
  EXPECT_FALSE(page->isShown(o.beforeAfterCollectionView));
  EXPECT_EQ(spacing(*page, o.screenshotsSeparator), 20);

  p.set("date", Date{3600.0 * 24 * 40});
  page->getPackageInformation();
  EXPECT_EQ(o.packageDateLbl->text().substr(0, 5), "02/10");
}

TEST_F(PackagePageTest, AnOrdinaryPackageGivesUpTheSectionsThatCannotFill) {
  tools();
  QuillbarkPersistentPreferences::sharedInstance().setObject(Value(false), "GetCydiaPackageInfoFromDepiction");
  Reachability::overrideFlags(0);
  auto page = open("com.example.tool");
  const auto& o = page->outlets();
  std::vector<const UIView*> gone{o.changelogTitle, o.videoPreviewPlayer, o.screenshotsTitle,
                                 o.screenshotsCollectionView, o.screenshotsSeparator, o.beforeAfterCollectionView,
                                 o.adsWebView, o.installedFilesBtn, o.packageDateLbl,
                                 o.donateBtn, o.packageIsBetaLbl};
  for (const UIView* v : gone) {
    EXPECT_FALSE(page->isShown(v));
    EXPECT_EQ(height(*page, v), 0);
    EXPECT_EQ(spacing(*page, v), 0);
  }
  EXPECT_EQ(spacing(*page, o.authorCollectionView), 30) << "under the description";
  EXPECT_EQ(spacing(*page, o.developerNameLbl), 30) << "not installed: under the title";
  EXPECT_EQ(spacing(*page, o.developerWebsiteBtn), 10);
  // No reviews: their message, the buttons 30 under it.
  EXPECT_TRUE(page->isShown(o.reviewsLbl));
  EXPECT_TRUE(o.seeAllReviewsBtn->isHidden());
  EXPECT_FALSE(page->isShown(o.reviewsCollectionView));
  EXPECT_EQ(spacing(*page, o.contactDeveloperBtn), 30);
  EXPECT_EQ(o.reviewsCollectionView->numberOfItemsInSection(0), 1) << "counted, but reading no review";

  // The advertisement of the one repository that has it: our own snippet, on the address
  // of that repository's page of the package, reaching no host.
  size_t requests = server.requestCount();
  page->mutablePackageDictionary().set("sourceLocation", PackageDetailsViewController::grandelSourceLocation());
  relayout(*page);
  ui.runUntilIdle();
  EXPECT_EQ(height(*page, o.adsWebView), 250);
  ASSERT_TRUE(o.adsWebView->url());
  EXPECT_EQ(o.adsWebView->url()->absoluteString(),
            "http://apt.bigrepo.example/moreinfo/depiction.php?file=exampletoolDp");
  EXPECT_EQ(server.requestCount(), requests);

  // A native depiction: the strip waits empty, 20 under its title, until an outcome.
  // The record's own screenshot load, started when the page opened, ends first: an
  // outcome that comes while it runs is laid out by its end instead.
  ASSERT_TRUE(waitFor([&] { return !page->isLoadingScreenshots(); }));
  page->mutablePackageDictionary().set("sileoDepiction", "");
  page->setContent();
  EXPECT_TRUE(page->isShown(o.screenshotsCollectionView));
  EXPECT_EQ(spacing(*page, o.screenshotsCollectionView), 20);
  page->depictionScreenshotsArrived({});
  EXPECT_FALSE(page->isShown(o.screenshotsCollectionView)) << "nothing came: the section goes";
  EXPECT_FALSE(page->refreshForCydiaPackages);
}

TEST_F(PackagePageTest, TheHeaderFitsASmallScreenAndCollapsesAtTheEndOfADrag) {
  tools();
  UIScreen::mainScreen().setBounds(CGRect::make(0, 0, 320, 568));
  auto page = open("com.example.tool");
  const auto& o = page->outlets();
  EXPECT_EQ(o.nameLbl->font().pointSize(), 22);
  EXPECT_EQ(o.starWidthConstraint->constant(), 20);
  EXPECT_EQ(o.rating2->frame().size, o.rating1->frame().size);
  EXPECT_EQ(o.ratingLbl->frame().height(), 20);
  EXPECT_EQ(o.getBtn->layer().cornerRadius, 15);
  UIScreen::mainScreen().reset();

  CGPoint target{0, 100};
  page->scrollViewWillEndDragging(*o.scrollView, {0, 0}, target);
  EXPECT_TRUE(page->isHeaderCompact());
  EXPECT_EQ(page->navigationItem().rightBarButtonItem(), page->getBarBtnItem());
  EXPECT_EQ(o.getBtn->alpha(), 0);
  EXPECT_EQ(page->getBarBtn()->alpha(), 1);
  EXPECT_EQ(page->getBarBtn()->currentTitle(), "GET");
  EXPECT_TRUE(page->navigationController()->navigationBar()->layer().animationForKey("fadeText"));
  page->updateGetButtonTitle();  // as a queue-state notice does
  ui.runUntilIdle();
  EXPECT_EQ(o.getBtn->alpha(), 0) << "still collapsed";
  target = {0, 99};
  page->scrollViewWillEndDragging(*o.scrollView, {0, 0}, target);
  EXPECT_FALSE(page->isHeaderCompact());
  EXPECT_EQ(page->navigationItem().rightBarButtonItem(), page->wishlistBtn());
  EXPECT_EQ(o.getBtn->alpha(), 1);
  // Without a banner or a native depiction, scrolling alone changes nothing; a person's
  // drag down the page (not the list of a few rows inside it) collapses it.
  o.scrollView->setContentOffset({0, 300});
  EXPECT_FALSE(page->isHeaderCompact());
  o.scrollView->setContentOffset({0, 0});
  ASSERT_TRUE(ui.scroll("down"));
  EXPECT_TRUE(page->isHeaderCompact());
}

TEST_F(PackagePageTest, TheColoursOfARealIcon) {
  QB_TESTDATA_OR_SKIP(repo, "repos/poomsmart/repo");
  auto icon = UIImage::imageWithContentsOfFile(repo + "/CydiaIcon.png");
  ASSERT_TRUE(icon && icon->bitmap());
  // The average of the premultiplied pixels, by whole numbers.
  const auto& px = *icon->bitmap();
  uint64_t sums[3] = {0, 0, 0};
  for (int y = 0; y < px.height; ++y)
    for (int x = 0; x < px.width; ++x)
      for (int c = 0; c < 3; ++c) sums[c] += px.at(x, y)[c] * px.at(x, y)[3] / 255;
  uint64_t n = uint64_t(px.width) * uint64_t(px.height);
  UIColor dominant = PackageDetailsViewController::getDominantColor(*icon);
  EXPECT_DOUBLE_EQ(dominant.red(), double(sums[0] / n) / 255);
  EXPECT_DOUBLE_EQ(dominant.green(), double(sums[1] / n) / 255);
  EXPECT_DOUBLE_EQ(dominant.blue(), double(sums[2] / n) / 255);
  EXPECT_EQ(dominant.alpha(), 1);
  EXPECT_EQ(PackageDetailsViewController::getDominantColor(UIImage()), UIColor::blackColor());
  EXPECT_EQ(PackageDetailsViewController::readableForegroundColorForBackgroundColor(UIColor::colorWithWhite(0.8, 1)),
            UIColor::blackColor());
  EXPECT_EQ(PackageDetailsViewController::readableForegroundColorForBackgroundColor(UIColor::colorWithRed(0, 0.67, 0.88, 1)),
            UIColor::whiteColor());
}

TEST_F(PackagePageTest, TheDepictionIsAskedByThePreferenceOrTheNetworkAndABannerIsKept) {
  QB_TESTDATA_OR_SKIP(icon, "repos/nepeta/CydiaIcon.png");
  tools();
  edit("com.example.tool", [&](KVRPackage& p) { p.setSileoDepiction(server.url("/depiction.json")); });
  auto counted = [&] {
    auto page = std::make_shared<CountingPage>(screenContext(), "com.example.tool");
    ui.show(std::make_shared<UINavigationController>(page));
    ui.runUntilIdle();
    return page;
  };
  QuillbarkPersistentPreferences::sharedInstance().setObject(Value(false), "GetCydiaPackageInfoFromDepiction");
  Reachability::overrideFlags(0);
  EXPECT_EQ(counted()->native, 0) << "neither the preference nor a network";
  Reachability::overrideFlags(kSCNetworkReachabilityFlagsReachable);
  EXPECT_EQ(counted()->native, 1);
  QuillbarkPersistentPreferences::sharedInstance().setObject(Value(true), "GetCydiaPackageInfoFromDepiction");
  Reachability::overrideFlags(0);
  auto page = counted();
  EXPECT_EQ(page->native, 1) << "the preference alone";
  EXPECT_EQ(page->scraped, 0);
  EXPECT_TRUE(page->extendedLayoutIncludesOpaqueBars());

  // A banner the snapshot names is written to its cache and shown as the header.
  TestHttpResponse png;
  auto bytes = Files::read(icon);
  png.body.assign(bytes->begin(), bytes->end());
  png.contentType = "image/png";
  server.respond("/banner.png", png);
  page->mutablePackageDictionary().set("banner", server.url("/banner.png"));
  page->loadInformationFromBackground();
  const auto& scroll = *page->outlets().scrollView;
  ASSERT_TRUE(waitFor([&] { return UIScrollViewInteractiveHeader::interactiveHeader(scroll) != nullptr; }));
  std::string banner = DeviceRoot::devicePath(DeviceRoot::kApplicationSupport) + "/DepictionsBanners/com.example.tool.png";
  EXPECT_TRUE(Files::exists(banner));
  EXPECT_EQ(page->navigationController()->navigationBar()->alpha(), 0);
  // With a header, the bar follows the pull, and scrolling past 100 collapses the header.
  page->outlets().scrollView->setContentOffset({0, -150});
  EXPECT_DOUBLE_EQ(page->navigationController()->navigationBar()->alpha(), 0.5);
  page->outlets().scrollView->setContentOffset({0, 120});
  EXPECT_TRUE(page->isHeaderCompact());

  // The next page of a package with a native depiction finds the banner in its cache.
  page->mutablePackageDictionary().erase("banner");
  auto next = counted();
  ASSERT_TRUE(waitFor([&] { return next->bannerCached; }));
  EXPECT_TRUE(UIScrollViewInteractiveHeader::interactiveHeader(*next->outlets().scrollView));
}

TEST_F(PackagePageTest, TheBeforeAfterPairTurnsOnATapAndTheRatingNoticeAsksTheAverage) {
  QB_TESTDATA_OR_SKIP(repo, "repos/nepeta");
  tools();
  server.serveFolder(repo, "/nepeta/");
  auto page = open("com.example.tool");
  page->mutablePackageDictionary().set("beforeAfter", Value::dict({{"before", server.url("/nepeta/CydiaIcon.png")},
                                                                   {"after", server.url("/nepeta/CydiaIcon.png")}}));
  page->loadInformationFromBackground();
  auto* pair = page->outlets().beforeAfterCollectionView;
  ASSERT_TRUE(waitFor([&] { return pair->numberOfItemsInSection(0) == 2; }));
  EXPECT_TRUE(page->outlets().beforeImageView->image());
  EXPECT_EQ(page->collectionViewMinimumLineSpacingForSectionAtIndex(*pair, 0), 0);
  EXPECT_EQ(page->collectionViewSizeForItemAtIndexPath(*pair, {0, 0}),
            (CGSize{page->view()->bounds().width() - 32, 441}));
  page->collectionViewDidSelectItemAtIndexPath(*pair, {0, 0});
  EXPECT_GT(pair->contentOffset().x, 0) << "to the after picture";
  page->collectionViewDidSelectItemAtIndexPath(*pair, {0, 1});
  EXPECT_EQ(pair->contentOffset().x, 0);

  // Only a notice naming this package asks the average again; a failed answer empties it.
  page->outlets().packageRatingLbl->setText("4.5");
  NotificationCenter::defaultCenter().post(KVRPackageInfoRatingChangedNotification, Value("com.example.other"));
  ui.runUntilIdle();
  EXPECT_EQ(page->outlets().packageRatingLbl->text(), "4.5");
  NotificationCenter::defaultCenter().post(KVRPackageInfoRatingChangedNotification, Value("com.example.tool"));
  EXPECT_TRUE(waitFor([&] { return page->outlets().packageRatingLbl->text().empty(); }));
}

}  // namespace
