// The package page's snapshots of its records, its colours, and its header, which
// collapses into the navigation bar (the icon as title, the Get button on the right)
// when a drag ends 100 points down the page, and expands back above that.
#include <algorithm>
#include <cmath>

#include "package/KVPackageSnapshot.h"
#include "foundation/WeakSelf.h"
#include "package/PackageDetailsViewController.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UIButton.h"
#include "uikit/UIImage.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationBar.h"
#include "uikit/UINavigationController.h"

// ---- Snapshots

void PackageDetailsViewController::setPackageDictionaryFromPackageObject() {
  packageDictionary_ = KVPackageSnapshot::packageDictionary(packageIdentifier_);
}

void PackageDetailsViewController::setSourceDictionaryFromSourceObject() {
  auto source = KVPackageSnapshot::sourceDictionary(KVPackageSnapshot::text(packageDictionary_, "sourceLocation"));
  sourceFound_ = source.has_value();
  sourceDictionary_ = source.value_or(Value::dict());
}

// ---- Palette

void PackageDetailsViewController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  if (!palette || !isViewLoaded()) return;
  auto& o = outlets_;
  view()->setBackgroundColor(palette->backgroundColor());
  o.secondBackgroundView->setBackgroundColor(palette->backgroundColor());
  o.backgroundView->setBackgroundColor(palette->foregroundColor());
  for (UILabel* l : {o.nameLbl, o.changelogTitle, o.videoPreviewTitle, o.screenshotsTitle, o.beforeAfterTitle,
                     o.descriptionTitle, o.reviewsTitle, o.informationsTitle, o.developerNameLbl, o.packageSizeLbl,
                     o.packageCompatibilityLbl, o.packageDependenciesLbl, o.packageConflictsLbl,
                     o.packagePostInstallActionLbl, o.packageDateLbl, o.packageIsBetaLbl, o.repositoryTitle,
                     o.repositoryNameLbl, o.moreDevPackagesTitle})
    l->setTextColor(palette->primaryTextColor());
  for (UITextView* t : {o.changelogContentLbl, o.descriptionLbl}) t->setTextColor(palette->primaryTextColor());
  // The values beside their captions read as the main text; the captions, the author, the
  // rating's line and the page's notes in the secondary colour. None keeps the labels'
  // default black, which the dark palettes draw black on black.
  for (UILabel* l : {o.packageVersionLbl, o.packageCategoryLbl, o.packageRatingLbl}) l->setTextColor(palette->primaryTextColor());
  for (UILabel* l : {o.authorLbl, o.ratingLbl, o.versionLbl, o.categoryLbl, o.changelogVersionLbl, o.screenshotsLbl,
                     o.beforeAfterLbl, o.packageRatingSubLbl, o.reviewsLbl, o.developerLbl, o.sizeLbl, o.compatibilityLbl,
                     o.dependenciesLbl, o.conflictsLbl, o.postInstallActionLbl, o.dateLbl, o.isBetaLbl,
                     o.repositoryDescriptionLbl, o.otherDevPackagesLbl, o.copyrightLbl})
    l->setTextColor(palette->secondaryTextColor());
  bool dark = isDarkMode();
  for (UIButton* b : {o.leaveReviewBtn, o.contactDeveloperBtn}) {
    b->setTitleColor(dark ? palette->primaryTextColor() : palette->getButtonTextColor());
    b->setBackgroundColor(dark ? palette->highlightColor() : palette->getButtonBackgoundColor());
  }
  // The dark palettes' bright tint is too light a ground for the white GET: their GET
  // buttons' own colour.
  const UIColor& get = dark ? palette->getButtonBackgoundColor() : palette->tintColor();
  o.getBtn->setBackgroundColor(get);
  if (getBarBtn_) getBarBtn_->setBackgroundColor(get);
  o.otherDevPackagesTableView->reloadData();
  o.authorCollectionView->reloadData();
}

// ---- The collapsing header

void PackageDetailsViewController::scrollViewDidScroll(UIScrollView& scrollView) {
  if (&scrollView != outlets_.scrollView) return;
  if (!KVPackageSnapshot::text(packageDictionary_, "banner") && !KVPackageSnapshot::text(packageDictionary_, "sileoDepiction"))
    return;
  double y = scrollView.contentOffset().y;
  if (y > 0) {
    transitionTopContent(y >= 100);
  } else if (auto* nav = navigationController()) {
    // Fully transparent from 200 points of pull, fully opaque from 100 up.
    nav->navigationBar()->setAlpha(std::clamp(2 * (y / 200 + 1), 0.0, 1.0));
  }
}

void PackageDetailsViewController::scrollViewWillEndDragging(UIScrollView& scrollView, CGPoint,
                                                             CGPoint& targetContentOffset) {
  if (&scrollView != outlets_.scrollView) return;
  if (auto* nav = navigationController()) nav->navigationBar()->layer().addAnimation(CATransition{"fade", 0.1}, "fadeText");
  transitionTopContent(targetContentOffset.y >= 100);
}

bool PackageDetailsViewController::isHeaderCompact() const {
  return customTitleView_ && const_cast<PackageDetailsViewController*>(this)->navigationItem().titleView() == customTitleView_;
}

void PackageDetailsViewController::transitionTopContent(bool compact) {
  if (!isViewLoaded() || !getBarBtn_) return;
  // Expanded, the Get button goes back to the opacity its state gives it (half for an
  // unavailable package), not to full.
  const double target = compact ? 0 : buttonAlpha_;
  if (outlets_.getBtn->alpha() == target) return;
  getBarBtn_->setAlpha(compact ? 0 : buttonAlpha_);
  customTitleView_->setAlpha(compact ? 0 : 1);
  UIView* titleView = navigationItem().titleView() ? navigationItem().titleView().get() : view().get();
  auto weak = weakSelf(this);
  UIView::transitionWithView(
      titleView, 0.5, UIViewAnimationOptionAllowUserInteraction | UIViewAnimationOptionBeginFromCurrentState,
      [weak, compact, target] {
        auto self = weak.lock();
        if (!self) return;
        auto& o = self->outlets_;
        double header = compact ? 0 : 1;
        for (UIView* v : std::initializer_list<UIView*>{o.authorLbl, o.nameLbl, o.iconView, o.shareBtn}) v->setAlpha(header);
        o.getBtn->setAlpha(target);
        self->getBarBtn_->setAlpha(compact ? self->buttonAlpha_ : 0);
        self->customTitleView_->setAlpha(1 - header);
        self->navigationItem().setTitleView(compact ? self->customTitleView_ : self->defaultTitleView_);
        self->navigationItem().setRightBarButtonItem(compact ? self->getBarBtnItem_ : self->wishlistBtn_);
      });
}

// ---- Colours of an image

UIColor PackageDetailsViewController::getDominantColor(const UIImage& image) {
  auto pixels = image.bitmap();
  const int width = static_cast<int>(std::floor(image.size().width));
  const int height = static_cast<int>(std::floor(image.size().height));
  if (!pixels || pixels->width <= 0 || pixels->height <= 0 || width <= 0 || height <= 0)
    return UIColor::colorWithRed(0, 0, 0, 1);
  // Drawn at its size in points, alpha premultiplied, then averaged with whole numbers.
  uint64_t red = 0, green = 0, blue = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      int sx = std::min(pixels->width - 1, x * pixels->width / width);
      int sy = std::min(pixels->height - 1, y * pixels->height / height);
      const uint8_t* p = pixels->at(sx, sy);
      red += p[0] * p[3] / 255;
      green += p[1] * p[3] / 255;
      blue += p[2] * p[3] / 255;
    }
  }
  const uint64_t count = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  return UIColor::colorWithRed(static_cast<double>(red / count) / 255, static_cast<double>(green / count) / 255,
                               static_cast<double>(blue / count) / 255, 1);
}

UIColor PackageDetailsViewController::readableForegroundColorForBackgroundColor(const UIColor& color) {
  double brightness = (color.red() * 255 * 299 + color.green() * 255 * 587 + color.blue() * 255 * 114) / 1000;
  return brightness >= 200 ? UIColor::blackColor() : UIColor::whiteColor();
}
