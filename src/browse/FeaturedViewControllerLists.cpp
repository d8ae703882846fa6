// The featured screen's carousel and cards: their cells, their geometry, the banner
// nearest the centre, the 4 s auto-advance, selection and the opening of a package.
#include <cmath>

#include "browse/BigFeaturedCell.h"
#include "browse/FeaturedViewController.h"
#include "database/KVRPackage.h"
#include "database/KVRPackages.h"
#include "database/KVRSource.h"
#include "database/KVRSources.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/WeakSelf.h"
#include "interface/GetPackageCell.h"
#include "interface/KVPackageIcons.h"
#include "interface/KVScreens.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIAlertController.h"
#include "uikit/UIButton.h"
#include "uikit/UIDevice.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIVisualEffectView.h"

namespace {
bool isPad() { return UIDevice::currentDevice().userInterfaceIdiom() == UIUserInterfaceIdiomPad; }
}  // namespace

// ---- Geometry

void FeaturedViewController::setContent() {
  RunLoop::main().post([weak = weakSelf(this)] {
    auto self = weak.lock();
    if (!self || !self->isViewLoaded()) return;
    double width = self->view()->bounds().width();
    self->carouselHeight_->setConstant(isPad() ? 404 : width - 20);
    self->carousel_->setBackgroundColor(UIColor::clearColor());
    for (auto& card : self->cards_) {
      card.table->setBackgroundColor(UIColor::clearColor());
      card.table->setSeparatorColor(UIColor::clearColor());
    }
    self->layoutPage();
    self->carousel_->invalidateLayout();
  });
}

CGSize FeaturedViewController::collectionViewSizeForItemAtIndexPath(UICollectionView& collection, const NSIndexPath&) {
  if (isPad()) return {384, 384};
  double side = std::max(0.0, collection.bounds().width() - 40);
  return {side, side};
}

UIEdgeInsets FeaturedViewController::collectionViewInsetForSectionAtIndex(UICollectionView&, long) {
  // The banners line up with the title.
  double x = navBarFeatured_ ? navBarFeatured_->frame().minX() : 20;
  return {0, x, 0, x};
}

// ---- The carousel

long FeaturedViewController::collectionViewNumberOfItemsInSection(UICollectionView&, long) {
  return static_cast<long>(banners_.size());
}

std::shared_ptr<UICollectionViewCell> FeaturedViewController::collectionViewCellForItemAtIndexPath(
    UICollectionView& collection, const NSIndexPath& path) {
  auto cell = std::dynamic_pointer_cast<BigFeaturedCell>(collection.dequeueReusableCellWithReuseIdentifier("cell", path));
  if (!cell || path.item() < 0 || path.item() >= static_cast<long>(banners_.size()))
    return cell ? cell : std::make_shared<UICollectionViewCell>();
  const KVFeaturedPackagesTop& banner = banners_[path.item()];
  std::optional<KVRPackage> package = KVRPackage::objectForPrimaryKey(banner.bundle_id.value_or(""));
  std::string repo = banner.repo.value_or("");
  if (!repo.empty() && repo.back() != '/') repo += "/";
  std::optional<KVRSource> source = KVRSource::objectForPrimaryKey(repo);

  UIView* content = cell->contentView();
  content->layer().cornerRadius = 20;
  content->layer().borderWidth = 1;
  content->layer().borderColor = UIColor::clearColor();
  content->setClipsToBounds(true);
  cell->setClipsToBounds(false);
  cell->layer().shadowRadius = 8;
  cell->layer().shadowOpacity = 0.35;
  cell->layer().shadowOffset = {0, 0};
  cell->layer().shadowPath = CGRoundedRectPath{cell->bounds(), content->layer().cornerRadius};
  if (palette()) {
    cell->layer().shadowColor = palette()->shadowColor();
    cell->bottomBlur()->setEffect(static_cast<UIBlurEffectStyle>(palette()->blurStyle()));
  }
  if (!images_.empty()) {
    auto image = images_.find(path.item());
    cell->imageView()->setImage(image == images_.end() ? nullptr : image->second);
  }
  cell->setPackageIdentifier(package ? package->identifier() : std::string());
  std::string logo = banner.logo.value_or("");
  cell->iconView()->setImage(logo.size() >= 10 ? KVRPackages::iconForIdentifier(cell->packageIdentifier(), logo)
                                               : KVRPackages::iconForIdentifier(cell->packageIdentifier()));
  cell->iconView()->layer().setValue(Value(true), "continuousCorners");
  cell->iconView()->layer().cornerRadius = cell->iconView()->frame().height() / 4;
  cell->iconView()->setClipsToBounds(true);
  cell->nameLbl()->setText(banner.title.value_or(""));
  cell->descriptionLbl()->setText(package ? package->Description().value_or("") : NSLocalizedString("Loading description"));
  cell->maintainerSourceLbl()->setText(source ? banner.developer.value_or("") + " - " + source->name().value_or("")
                                              : banner.repo.value_or(""));
  return cell;
}

void FeaturedViewController::collectionViewDidSelectItemAtIndexPath(UICollectionView&, const NSIndexPath& path) {
  if (path.item() < 0 || path.item() >= static_cast<long>(banners_.size())) return;
  openPackageDepictionForIdentifier(banners_[path.item()].bundle_id.value_or(""));
}

void FeaturedViewController::autoScrollFeaturedCollectionView() {
  // Only exactly five banners, each with its picture in place, advance by themselves.
  if (banners_.empty() || images_.size() != 5) return;
  carousel_->layoutIfNeeded();
  featuredCollectionViewPage_ = featuredCollectionViewPage_ == 4 ? 0 : featuredCollectionViewPage_ + 1;
  carousel_->scrollToItemAtIndexPath(NSIndexPath::indexPathForItem(featuredCollectionViewPage_, 0),
                                     UICollectionViewScrollPositionCenteredHorizontally, true);
}

void FeaturedViewController::snapCarouselToNearestBanner() {
  std::optional<NSIndexPath> nearest;
  double best = 0;
  double middle = carousel_->bounds().width() / 2 + carousel_->contentOffset().x;
  for (const NSIndexPath& path : carousel_->indexPathsForVisibleItems()) {
    double distance = std::fabs(carousel_->frameForItemAtIndexPath(path).midX() - middle);
    if (!nearest || distance < best) {
      nearest = path;
      best = distance;
    }
  }
  if (nearest) carousel_->scrollToItemAtIndexPath(*nearest, UICollectionViewScrollPositionCenteredHorizontally, true);
}

// ---- The cards

std::optional<FeaturedViewController::Card> FeaturedViewController::cardOfTable(const UITableView& table) const {
  for (size_t c = 0; c < kCardCount; ++c)
    if (cards_[c].table.get() == &table) return Card(c);
  return std::nullopt;
}

long FeaturedViewController::tableViewNumberOfRowsInSection(UITableView& table, long) {
  auto card = cardOfTable(table);
  return card ? static_cast<long>(lists_[*card].size()) : 0;
}

std::shared_ptr<UITableViewCell> FeaturedViewController::tableViewCellForRowAtIndexPath(UITableView& table,
                                                                                       const NSIndexPath& path) {
  auto cell = std::dynamic_pointer_cast<GetPackageCell>(table.dequeueReusableCellWithIdentifier("getPackageCell", path));
  if (!cell) return std::make_shared<UITableViewCell>();
  cell->setBackgroundColor(UIColor::clearColor());
  auto card = cardOfTable(table);
  const std::vector<std::string>* list = card ? &lists_[*card] : nullptr;
  std::optional<KVRPackage> package;
  if (list && path.row >= 0 && path.row < static_cast<long>(list->size()))
    package = KVRPackage::objectForPrimaryKey((*list)[path.row]);
  if (package) cell->updateWithPackage(*package);
  cell->updateButtonTitleWithPackage(package, false);
  if (palette()) {
    cell->nameLbl()->setTextColor(!package || package->isFree() ? palette()->primaryTextColor() : palette()->paidTextColor());
    cell->getBtn()->setBackgroundColor(palette()->getButtonBackgoundColor());
    cell->getBtn()->setTitleColor(palette()->getButtonTextColor());
  }
  if (package) {
    const std::string& identifier = package->identifier();
    bool onlyCached = table.contentOffset().x != 0 && !KVPackageIcons::cachedIconExistsForIdentifier(identifier);
    cell->iconView()->setImage(onlyCached ? KVPackageIcons::categoryIconForIdentifier(identifier)
                                          : KVPackageIcons::iconForIdentifier(identifier));
  }
  cell->separator()->setHidden(list && path.row == static_cast<long>(list->size()) - 1);
  return cell;
}

void FeaturedViewController::tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath& path) {
  table.deselectRowAtIndexPath(path, true);
  auto card = cardOfTable(table);
  if (!card || lists_[*card].empty() || path.row < 0 || path.row >= static_cast<long>(lists_[*card].size())) return;
  openPackageDepictionForIdentifier(lists_[*card][path.row]);
}

// ---- Opening a package

void FeaturedViewController::openPackageDepictionForIdentifier(const std::string& identifier) {
  if (auto package = KVRPackage::objectForPrimaryKey(identifier)) {
    KVPackagePageOptions options;
    options.isComingFromFeatured = true;
    auto screen = context_.screens->package(identifier, options);
    if (screen->title().empty()) screen->setTitle(package->name().value_or(identifier));
    push(screen);
    return;
  }
  // A banner of a source the device lacks offers to add it.
  for (const auto& banner : banners_) {
    if (banner.bundle_id != identifier) continue;
    std::string repo = banner.repo.value_or("");
    auto alert = UIAlertController::alertControllerWithTitle(
        NSLocalizedString("Add Source"),
        NSLocalizedFormat("Before you can install %@, you need to add the %@ source. Would you like to add it now",
                          {banner.title.value_or(""), repo}),
        UIAlertControllerStyleAlert);
    alert->addAction(UIAlertAction::actionWithTitle(NSLocalizedString("Add"), UIAlertActionStyleDefault,
                                                    [sources = context_.sources, repo](UIAlertAction&) {
                                                      sources->addSourceWithLocation(repo, true);
                                                    }));
    alert->addAction(UIAlertAction::actionWithTitle(NSLocalizedString("Cancel"), UIAlertActionStyleCancel));
    if (auto* navigation = navigationController()) navigation->presentViewController(alert, true);
    else presentViewController(alert, true);
    return;
  }
}

// ---- Scrolling

void FeaturedViewController::scrollViewWillBeginDragging(UIScrollView& scrollView) {
  if (&scrollView == carousel_.get()) {
    // The user's own drag stops the auto-advance for good.
    invalidateTimer();
    carousel_->setPagingEnabled(false);
    return;
  }
  isScrolling_ = true;
}

void FeaturedViewController::scrollViewDidEndDragging(UIScrollView& scrollView, bool willDecelerate) {
  if (!willDecelerate) scrollingEnded(scrollView);
}

void FeaturedViewController::scrollViewDidEndDecelerating(UIScrollView& scrollView) { scrollingEnded(scrollView); }

void FeaturedViewController::scrollingEnded(UIScrollView& scrollView) {
  if (&scrollView == carousel_.get()) {
    snapCarouselToNearestBanner();
    return;
  }
  isScrolling_ = false;
  if (!needCacheRebuild_) return;
  stopScrolling();
  retrieveFeaturedPackages();
}

// ---- Icons

void FeaturedViewController::iconChanged(const Notification& notification) {
  const std::string identifier = notification.object.asString();
  if (!isViewLoaded()) return;
  for (const auto& cell : carousel_->visibleCells())
    if (auto banner = std::dynamic_pointer_cast<BigFeaturedCell>(cell); banner && banner->packageIdentifier() == identifier) {
      banner->updatePackageIcon();
      break;
    }
  for (auto& card : cards_)
    for (const auto& cell : card.table->visibleCells())
      if (auto row = std::dynamic_pointer_cast<GetPackageCell>(cell); row && row->packageIdentifier() == identifier) {
        row->updatePackageIcon();
        break;
      }
}
