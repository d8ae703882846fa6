// The package page's lists: the screenshots strip, the before/after pair, the developer
// card, the newest review and the other packages of the developer.
#include <algorithm>
#include <cctype>

#include "browse/DeveloperCell.h"
#include "database/KVRPackage.h"
#include "foundation/LocalizedStrings.h"
#include "interface/GetPackageCell.h"
#include "interface/KVPackageIcons.h"
#include "package/KVPackageSnapshot.h"
#include "package/KVReviewText.h"
#include "package/PackageDetailsViewController.h"
#include "package/PackageScreenshotsViewController.h"
#include "package/ReviewsCell.h"
#include "package/ScreenshotsCell.h"
#include "uikit/UIButton.h"
#include "uikit/UIDevice.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIWindow.h"

namespace {
double keyWindowWidth(const UIView& fallback) {
  if (UIWindow* window = UIWindow::keyWindow()) return window->bounds().width();
  return fallback.bounds().width();
}
}  // namespace

std::shared_ptr<UIImage> PackageDetailsViewController::screenshotForItem(long item) const {
  if (item < 0 || static_cast<size_t>(item) >= screenshotsDictionary_.size()) return nullptr;
  return std::next(screenshotsDictionary_.begin(), item)->second;
}

long PackageDetailsViewController::collectionViewNumberOfItemsInSection(UICollectionView& view, long) {
  if (&view == outlets_.screenshotsCollectionView) return static_cast<long>(screenshotsDictionary_.size());
  if (&view == outlets_.beforeAfterCollectionView) return static_cast<long>(beforeAfterScreenshotsDictionary_.size());
  if (&view == outlets_.authorCollectionView) return 1;
  if (&view == outlets_.reviewsCollectionView) return 1;
  return 0;
}

std::shared_ptr<UICollectionViewCell> PackageDetailsViewController::collectionViewCellForItemAtIndexPath(
    UICollectionView& view, const NSIndexPath& path) {
  auto cell = view.dequeueReusableCellWithReuseIdentifier("cell", path);
  if (auto shot = std::dynamic_pointer_cast<ScreenshotsCell>(cell)) {
    if (&view == outlets_.screenshotsCollectionView) {
      std::string name;
      if (static_cast<size_t>(path.item()) < screenshotsDictionary_.size())
        name = NSLocalizedFormat("Screenshot %@",
                                 {std::to_string(std::next(screenshotsDictionary_.begin(), path.item())->first)});
      shot->setScreenshot(screenshotForItem(path.item()), name);
    } else {
      // The "before" picture is the page's own image view, over the first item.
      auto after = beforeAfterScreenshotsDictionary_.find("after");
      shot->setScreenshot(path.item() == 1 && after != beforeAfterScreenshotsDictionary_.end() ? after->second : nullptr,
                          NSLocalizedString(path.item() == 1 ? "After" : "Before"));
    }
  } else if (auto developer = std::dynamic_pointer_cast<DeveloperCell>(cell)) {
    developer->setBackgroundColor(UIColor::clearColor());
    UIImageView* icon = developer->developerIconView();
    icon->setImage(authorAvatar_);
    icon->setClipsToBounds(true);
    icon->layer().cornerRadius = 0.2237 * icon->frame().height();
    developer->developerNameLbl()->setText(developerDisplayName());
    if (palette()) {
      developer->developerTitle()->setTextColor(palette()->secondaryTextColor());
      developer->developerNameLbl()->setTextColor(palette()->primaryTextColor());
    }
  } else if (auto review = std::dynamic_pointer_cast<ReviewsCell>(cell)) {
    // An empty list reads no review: the card stays empty (and the layout hides it).
    const KVReviews* first = packageReviews_.empty() ? nullptr : &packageReviews_.front();
    review->titleLbl()->setText(first ? KVPackageSnapshot::capitalized(first->title.value_or("")) : "");
    review->nameLbl()->setText(first ? first->name.value_or("") : "");
    review->voteLbl()->setAttributedText(first ? KVReviewText::voteLine(*first) : NSAttributedString());
    review->commentLbl()->setAttributedText(
        first ? KVReviewText::cardComment(*first, KVPackageSnapshot::text(packageDictionary_, "maintainer").value_or(""))
              : NSAttributedString());
    if (palette()) {
      review->setBackgroundColor(palette()->foregroundColor());
      review->titleLbl()->setTextColor(palette()->primaryTextColor());
      review->nameLbl()->setTextColor(palette()->primaryTextColor());
      review->commentLbl()->setTextColor(palette()->primaryTextColor());
    }
    review->layer().cornerRadius = 13;
    int64_t rating = first ? first->rating.value_or(0) : 0;
    for (size_t i = 0; i < review->ratingButtons().size(); ++i)
      review->ratingButtons()[i]->setImage(UIImage::imageNamed(static_cast<int64_t>(i) < rating ? "starOtherUsers" : "star"));
  }
  return cell;
}

CGSize PackageDetailsViewController::collectionViewSizeForItemAtIndexPath(UICollectionView& view,
                                                                          const NSIndexPath& path) {
  if (&view == outlets_.screenshotsCollectionView) {
    auto image = screenshotForItem(path.item());
    if (!image || image->size().width <= 0 || image->size().height <= 0) return {0, 0};
    const double reference = UIDevice::currentDevice().userInterfaceIdiom() == UIUserInterfaceIdiomPad ? 287 : 422;
    double w = image->size().width, h = image->size().height;
    // A picture taller than the strip is scaled down to its height; a shorter one keeps its
    // own size (narrowing it by the strip's height too drew an icon a few points wide).
    CGSize size = h > reference ? CGSize{w / (h / reference), reference} : CGSize{w, h};
    if (screenshotsDictionary_.size() == 1) size.width = this->view()->bounds().width() - 32;
    return size;
  }
  if (&view == outlets_.beforeAfterCollectionView) return {this->view()->bounds().width() - 32, 441};
  if (&view == outlets_.authorCollectionView) return {keyWindowWidth(*this->view()), 80};
  if (&view == outlets_.reviewsCollectionView) return {view.bounds().width(), 155};
  return UICollectionViewDelegate::collectionViewSizeForItemAtIndexPath(view, path);
}

double PackageDetailsViewController::collectionViewMinimumLineSpacingForSectionAtIndex(UICollectionView& view, long) {
  return &view == outlets_.beforeAfterCollectionView ? 0 : 20;
}

void PackageDetailsViewController::collectionViewDidSelectItemAtIndexPath(UICollectionView& view,
                                                                          const NSIndexPath& path) {
  if (&view == outlets_.screenshotsCollectionView) {
    auto viewer = std::make_shared<PackageScreenshotsViewController>(context_, screenshotsDictionary_);
    lastOpened_ = viewer;
    presentViewController(KVScreens::inNavigation(viewer), true);
  } else if (&view == outlets_.beforeAfterCollectionView) {
    view.layoutIfNeeded();
    view.scrollToItemAtIndexPath(NSIndexPath::indexPathForItem(path.item() == 0 ? 1 : 0, 0),
                                 UICollectionViewScrollPositionCenteredHorizontally, false);
  } else if (&view == outlets_.authorCollectionView) {
    KVContactDeveloperInputs inputs;
    inputs.packageIdentifier = packageIdentifier_;
    inputs.packageName = KVPackageSnapshot::text(packageDictionary_, "name").value_or("");
    inputs.developerName = developerDisplayName();
    inputs.email = KVPackageSnapshot::text(packageDictionary_, "contact");
    inputs.twitterURL = KVPackageSnapshot::text(packageDictionary_, "twitter");
    inputs.donateURL = KVPackageSnapshot::text(packageDictionary_, "donateLink");
    inputs.avatar = authorAvatar_;
    open(context_.screens->contactDeveloper(inputs));
  } else if (&view == outlets_.reviewsCollectionView) {
    seeAllReviews();
  }
}

long PackageDetailsViewController::tableViewNumberOfRowsInSection(UITableView&, long) {
  return static_cast<long>(std::min<size_t>(devPackages_.size(), 2));
}

std::shared_ptr<UITableViewCell> PackageDetailsViewController::tableViewCellForRowAtIndexPath(UITableView& view,
                                                                                             const NSIndexPath& path) {
  auto cell = std::dynamic_pointer_cast<GetPackageCell>(view.dequeueReusableCellWithIdentifier("getPackageCell", path));
  if (!cell || static_cast<size_t>(path.row) >= devPackages_.size()) return cell;
  const std::string& identifier = devPackages_[static_cast<size_t>(path.row)];
  auto package = KVRPackage::objectForPrimaryKey(identifier);
  if (package) cell->updateWithPackage(*package);
  else cell->setPackageIdentifier(identifier);
  cell->updateButtonTitleWithPackage(package, false);
  if (palette()) {
    bool free = !package || package->isFree();
    cell->nameLbl()->setTextColor(free ? palette()->primaryTextColor() : palette()->paidTextColor());
    cell->getBtn()->setBackgroundColor(isDarkMode() ? palette()->getButtonBackgoundColor() : palette()->tintColor());
    cell->getBtn()->setTitleColor(isDarkMode() ? palette()->getButtonTextColor() : UIColor::whiteColor());
  }
  cell->iconView()->setImage(KVPackageIcons::iconForIdentifier(identifier));
  long rows = tableViewNumberOfRowsInSection(view, 0);
  cell->separator()->setHidden(path.row == rows - 1);
  return cell;
}

void PackageDetailsViewController::moreByRowSelected(const NSIndexPath& path) {
  outlets_.otherDevPackagesTableView->deselectRowAtIndexPath(path, true);
  if (static_cast<size_t>(path.row) >= devPackages_.size()) return;
  const std::string& identifier = devPackages_[static_cast<size_t>(path.row)];
  auto page = context_.screens->nativePackagePage(identifier, {});
  if (auto package = KVRPackage::objectForPrimaryKey(identifier)) page->navigationItem().setTitle(package->name().value_or(""));
  open(page);
}
