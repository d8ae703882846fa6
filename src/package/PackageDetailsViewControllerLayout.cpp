// The package page's layout: which sections are shown, the header's sizes for the
// screen, and the lower half (reviews, information, more by), laid out again when the
// reviews arrive. A hidden view of the column gives up its space (collapse), so the
// next shown view follows the last shown one at its own spacing.
#include <algorithm>

#include "core/QuillbarkPersistentPreferences.h"
#include "foundation/LocalizedStrings.h"
#include "package/KVPackageSnapshot.h"
#include "package/PackageDetailsViewController.h"
#include "system/Reachability.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIButton.h"
#include "uikit/UIDevice.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UIScreen.h"
#include "webkit/WKWebView.h"

namespace {
using KVPackageSnapshot::text;

bool isSmallScreen() {
  double height = UIScreen::mainScreen().bounds().height();
  return height == 568 || height == 480;
}
bool isPad() { return UIDevice::currentDevice().userInterfaceIdiom() == UIUserInterfaceIdiomPad; }
}  // namespace

void PackageDetailsViewController::setContent() {
  if (!isViewLoaded()) return;
  layoutHeader();
  layoutChangelogAndVideo();
  if (isInfoJsonSource()) layoutInfoJsonScreenshots();
  else layoutOtherScreenshots();

  // The advertisement of one repository.
  if (text(packageDictionary_, "sourceLocation") == grandelSourceLocation()) {
    show(outlets_.adsWebView);
  } else {
    collapse(outlets_.adsWebView);
    setSpacing(outlets_.authorCollectionView, 30);
  }

  // The lower half with the reviews held now, and again with the service's answer.
  layoutLowerHalf();
  fetchReviews([](PackageDetailsViewController& page) { page.relayoutLowerHalf(); });
  outlets_.contentView->layoutIfNeeded();
  updateContentSize();
}

void PackageDetailsViewController::relayoutLowerHalf() {
  layoutLowerHalf();
  outlets_.contentView->layoutIfNeeded();
  updateContentSize();
}

void PackageDetailsViewController::layoutHeader() {
  auto& o = outlets_;
  const bool info = isInfoJsonSource();
  const bool small = isSmallScreen();
  o.iconView->layer().setValue(Value(true), "continuousCorners");
  double side = 80, radius = 20, star = 25;
  bool besideIcon = false;
  if (small) {
    if (info) side = 100, radius = 25;
    o.nameLbl->setFont(UIFont::systemFontOfSize(22, UIFontWeightSemibold));
    o.versionLbl->setFont(UIFont::systemFontOfSize(15, UIFontWeightSemibold));
    o.categoryLbl->setFont(UIFont::systemFontOfSize(15, UIFontWeightSemibold));
    star = 20;
  } else if (info) {
    side = 120, radius = 30;
    besideIcon = true;
  }
  o.iconView->layer().cornerRadius = radius;
  o.iconViewWidthConstraint->setConstant(side);
  o.iconViewHeightConstraint->setConstant(side);
  // Beside the icon, or under the developer's name: one of the two pairs holds.
  o.getBtnTopConstraintToIconView->setActive(besideIcon);
  o.shareBtnTopConstraintToIconView->setActive(besideIcon);
  o.getBtnTopConstraintToAuthorLbl->setActive(!besideIcon);
  o.shareBtnTopConstraintToAuthorLbl->setActive(!besideIcon);
  o.starWidthConstraint->setConstant(star);
  o.starHeightConstraint->setConstant(star);
  if (!small) {
    // A long name leaves the developer's name one line, shrunk to fit. (Measured at the
    // width the name will have, without a layout pass.)
    double nameWidth = o.contentView->frame().width() - 16 - side - 16 - 48;
    bool tallName = o.nameLbl->sizeThatFits({nameWidth, 10000}).height > 43;
    o.authorLbl->setAdjustsFontSizeToFitWidth(tallName);
    o.authorLbl->setNumberOfLines(tallName ? 1 : 2);
  }
  o.iconView->setClipsToBounds(true);
  o.getBtn->layer().cornerRadius = 15;
  o.shareBtn->layer().cornerRadius = 15;
}

void PackageDetailsViewController::layoutChangelogAndVideo() {
  auto& o = outlets_;
  bool changelog = !KVPackageSnapshot::texts(packageDictionary_, "changelog").empty();
  if (!changelog) {
    if (isInfoJsonSource() || !depictionRoadIsOpen()) changelog = false;
    else changelog = cydiaPackageHaveChangelog;
  }
  for (UIView* v : std::initializer_list<UIView*>{o.changelogTitle, o.changelogVersionLbl, o.changelogContentLbl,
                                                  o.changelogSeparator})
    changelog ? show(v) : collapse(v);
  if (changelog) {
    setSpacing(o.changelogTitle, 30);
    setSpacing(o.changelogVersionLbl, 4);
    setSpacing(o.changelogContentLbl, 10);
    setSpacing(o.changelogSeparator, 20);
    fitTextView(o.changelogContentLbl);
  }

  bool video = isInfoJsonSource() && text(packageDictionary_, "youtube");
  for (UIView* v : std::initializer_list<UIView*>{o.videoPreviewTitle, o.videoPreviewPlayer, o.videoPreviewSeparator})
    video ? show(v) : collapse(v);
  if (video) {
    o.videoPreviewPlayer->layer().cornerRadius = 10;
    o.videoPreviewPlayer->setClipsToBounds(true);
    setSpacing(o.videoPreviewTitle, KVPackageSnapshot::texts(packageDictionary_, "changelog").empty() ? 20 : 30);
    setSpacing(o.videoPreviewPlayer, 10);
    setSpacing(o.videoPreviewSeparator, 20);
  }
}

void PackageDetailsViewController::layoutInfoJsonScreenshots() {
  auto& o = outlets_;
  bool shots = !KVPackageSnapshot::texts(packageDictionary_, "screenshots").empty();
  bool padShots = !KVPackageSnapshot::texts(packageDictionary_, "iPadScreenshots").empty();
  bool failed = (shots && screenshotRetrievingFail) || (!shots && padShots && screenshotRetrievingFail) ||
                (!shots && !padShots);
  show(o.screenshotsTitle);
  setSpacing(o.screenshotsTitle, 30);
  if (!failed) {
    show(o.screenshotsCollectionView);
    setSpacing(o.screenshotsCollectionView, 10);
    collapse(o.screenshotsLbl);
    if (isPad()) setHeight(o.screenshotsCollectionView, padShots ? 307 : 441);
  } else {
    collapse(o.screenshotsCollectionView);
    show(o.screenshotsLbl);
    setSpacing(o.screenshotsLbl, 10);
    if (screenshotRetrievingFail)
      o.screenshotsLbl->setText(NSLocalizedFormat("There was an error retrieving screenshots for \"%@\"",
                                                  {text(packageDictionary_, "name").value_or("")}));
  }

  const Value& pair = packageDictionary_["beforeAfter"];
  if (pair.isDictionary() && !pair.empty()) {
    show(o.beforeAfterTitle);
    setSpacing(o.beforeAfterTitle, 30);
    show(o.screenshotsSeparator);
    if (beforeAfterScreenshotsRetrievingFail) {
      collapse(o.beforeAfterCollectionView);
      o.beforeImageView->setHidden(true);
      show(o.beforeAfterLbl);
      setSpacing(o.beforeAfterLbl, 10);
    } else {
      show(o.beforeAfterCollectionView);
      setSpacing(o.beforeAfterCollectionView, 10);
      o.beforeImageView->setHidden(false);
      collapse(o.beforeAfterLbl);
    }
    setSpacing(o.screenshotsSeparator, 20);
  } else {
    for (UIView* v : std::initializer_list<UIView*>{o.beforeAfterTitle, o.beforeAfterLbl, o.beforeAfterCollectionView})
      collapse(v);
    o.beforeImageView->setHidden(true);
    show(o.screenshotsSeparator);
    setSpacing(o.screenshotsSeparator, 20);
  }
}

void PackageDetailsViewController::layoutOtherScreenshots() {
  auto& o = outlets_;
  for (UIView* v : std::initializer_list<UIView*>{o.beforeAfterTitle, o.beforeAfterLbl, o.beforeAfterCollectionView})
    collapse(v);
  o.beforeImageView->setHidden(true);

  auto location = text(packageDictionary_, "sourceLocation");
  const auto& defaults = nativeDepictionCompatibleCydiaSources_;
  bool defaultRepository = location && std::find(defaults.begin(), defaults.end(), *location) != defaults.end();
  bool preference = QuillbarkPersistentPreferences::sharedInstance().objectForKey("GetCydiaPackageInfoFromDepiction").asBool(true);
  bool network = reach_ == ReachableViaWWAN || reach_ == ReachableViaWiFi;
  // Screenshots can come from a depiction, or from the record's own list.
  bool canCome = (preference && defaultRepository && network) || KVPackageSnapshot::isPresent(packageDictionary_, "sileoDepiction") ||
                 !KVPackageSnapshot::texts(packageDictionary_, "screenshots").empty();
  auto collapseSection = [&] {
    for (UIView* v : std::initializer_list<UIView*>{o.screenshotsTitle, o.screenshotsLbl, o.screenshotsCollectionView,
                                                    o.screenshotsSeparator})
      collapse(v);
  };
  auto showStrip = [&](double spacing) {
    show(o.screenshotsTitle);
    setSpacing(o.screenshotsTitle, 30);
    show(o.screenshotsCollectionView);
    setSpacing(o.screenshotsCollectionView, spacing);
    collapse(o.screenshotsLbl);
    show(o.screenshotsSeparator);
    setSpacing(o.screenshotsSeparator, 20);
  };
  if (!canCome) {
    collapseSection();
  } else if (!refreshForCydiaPackages) {
    showStrip(20);  // empty until they arrive
  } else {
    if (!screenshotsDictionary_.empty() && !screenshotRetrievingFail) showStrip(10);
    else collapseSection();
    refreshForCydiaPackages = false;
  }
}

void PackageDetailsViewController::layoutLowerHalf() {
  auto& o = outlets_;
  // 1. Reviews.
  bool haveReviews = !packageReviews_.empty();
  o.seeAllReviewsBtn->setHidden(!haveReviews);
  for (UIView* v : std::initializer_list<UIView*>{o.packageRatingLbl, o.packageRatingSubLbl, o.reviewsCollectionView})
    haveReviews ? show(v) : collapse(v);
  if (haveReviews) {
    setSpacing(o.packageRatingLbl, 10);
    setSpacing(o.reviewsCollectionView, 10);
    collapse(o.reviewsLbl);
    setSpacing(o.contactDeveloperBtn, 20);
    o.reviewsCollectionView->reloadData();
  } else {
    show(o.reviewsLbl);
    setSpacing(o.reviewsLbl, 10);
    setSpacing(o.contactDeveloperBtn, 30);
  }
  // 2. Their buttons.
  for (UIButton* b : {o.contactDeveloperBtn, o.leaveReviewBtn}) {
    b->layer().cornerRadius = 10;
    b->titleLabel()->setAdjustsFontSizeToFitWidth(true);
  }
  // 3. Installed files.
  if (KVPackageSnapshot::flag(packageDictionary_, "isInstalled")) {
    show(o.installedFilesBtn);
    setSpacing(o.installedFilesBtn, 10);
    setSpacing(o.developerNameLbl, 20);
  } else {
    collapse(o.installedFilesBtn);
    setSpacing(o.developerNameLbl, 30);
  }
  // 4. What only an info-JSON source has: the date and the donate link.
  const bool info = isInfoJsonSource();
  for (UIView* v : std::initializer_list<UIView*>{o.packageDateLbl, o.dateSeparator, o.developerWebsiteSeparator, o.donateBtn})
    info ? show(v) : collapse(v);
  o.dateLbl->setHidden(!info);
  o.donateImageView->setHidden(!info);
  setSpacing(o.developerWebsiteBtn, info ? 12 : 10);
  if (info) {
    setSpacing(o.packageDateLbl, 12);
    setSpacing(o.dateSeparator, 12);
    setSpacing(o.developerWebsiteSeparator, 12);
    setSpacing(o.donateBtn, 12);
  }
  // 5. Beta.
  const bool beta = KVPackageSnapshot::flag(packageDictionary_, "isBeta");
  for (UIView* v : std::initializer_list<UIView*>{o.donateSeparator, o.packageIsBetaLbl}) beta ? show(v) : collapse(v);
  o.isBetaLbl->setHidden(!beta);
  if (beta) {
    setSpacing(o.donateSeparator, 12);
    setSpacing(o.packageIsBetaLbl, 12);
  }
  setSpacing(o.informationsSeparator, 20);
  // 6. The repository's icon.
  o.repositoryIconImageView->setClipsToBounds(true);
  o.repositoryIconImageView->layer().cornerRadius = 0.2237 * o.repositoryIconImageView->frame().height();
  // 7. More by: at most two rows.
  if (!devPackages_.empty()) {
    collapse(o.otherDevPackagesLbl);
    show(o.otherDevPackagesTableView);
    setSpacing(o.otherDevPackagesTableView, 10);
    setHeight(o.otherDevPackagesTableView, devPackages_.size() == 1 ? 70 : 140);
    o.seeAllDevPackagesBtn->setHidden(false);
    o.otherDevPackagesTableView->setBackgroundColor(UIColor::clearColor());
    o.otherDevPackagesTableView->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
  } else {
    o.seeAllDevPackagesBtn->setHidden(true);
    collapse(o.otherDevPackagesTableView);
    show(o.otherDevPackagesLbl);
    setSpacing(o.otherDevPackagesLbl, 20);
  }
}
