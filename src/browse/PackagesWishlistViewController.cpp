#include "browse/PackagesWishlistViewController.h"

#include "core/QuillbarkPersistentPreferences.h"
#include "database/KVRPackage.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/WeakSelf.h"
#include "interface/KVPackageIcons.h"
#include "interface/KVScreens.h"
#include "interface/PackageCell.h"
#include "uikit/UIAlertController.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIProgressView.h"
#include "uikit/UIScreen.h"
#include "uikit/UISwipeGestureRecognizer.h"

PackagesWishlistViewController::PackagesWishlistViewController(KVScreenContext context) : context_(std::move(context)) {}

PackagesWishlistViewController::~PackagesWishlistViewController() {
  if (tableView_) {
    tableView_->setDataSource(nullptr);
    tableView_->setTableDelegate(nullptr);
  }
}

void PackagesWishlistViewController::loadView() {
  KVPalettedViewController::loadView();
  CGRect screen = UIScreen::mainScreen().bounds();
  tableView_ = std::make_shared<UITableView>(screen, UITableViewStylePlain);
  view()->addSubview(tableView_);
  auto progress = std::make_shared<UIProgressView>(UIProgressViewStyleDefault);
  progress->setFrame(CGRect::make(0, 0, screen.width(), 2));
  view()->addSubview(progress);
  tasksProgressBar_ = progress.get();
}

void PackagesWishlistViewController::viewDidLoad() {
  KVPalettedViewController::viewDidLoad();
  tasksProgressBar_->setHidden(true);
  navigationItem().setTitle(NSLocalizedString("Wishlist"));
  tableView_->setDataSource(this);
  tableView_->setTableDelegate(this);
  tableView_->setRowHeight(70);
  tableView_->registerNib("PackageCell", "cell");
  auto swipe = std::make_shared<UISwipeGestureRecognizer>([this](UIGestureRecognizer&) { backSwipe(); });
  swipe->setDirection(UISwipeGestureRecognizerDirectionRight);
  view()->addGestureRecognizer(swipe);
}

void PackagesWishlistViewController::backSwipe() {
  if (navigationController()) navigationController()->popViewControllerAnimated(true);
}

void PackagesWishlistViewController::viewWillAppear(bool animated) {
  KVPalettedViewController::viewWillAppear(animated);
  tableView_->setBackgroundColor(UIColor::clearColor());
  packages_.clear();
  for (const Value& identifier : KVRPackage::objectsWhere("isInWishlist = %@", true).valuesForKey("identifier"))
    packages_.push_back(identifier.asString());
  if (!packages_.empty()) {
    tableView_->reloadData();
    return;
  }
  auto alert = UIAlertController::alertControllerWithTitle(NSLocalizedString("Packages Wishlist"),
                                                           NSLocalizedString("There are no packages in your wishlist."),
                                                           UIAlertControllerStyleAlert);
  alert->addAction(UIAlertAction::actionWithTitle(NSLocalizedString("Close"), UIAlertActionStyleDefault,
                                                  [weak = weakSelf(this)](UIAlertAction&) {
                                                    auto self = weak.lock();
                                                    if (self && self->navigationController())
                                                      self->navigationController()->popToRootViewControllerAnimated(true);
                                                  }));
  presentViewController(alert, true);
}

void PackagesWishlistViewController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  if (palette && isViewLoaded()) view()->setBackgroundColor(palette->backgroundColor());
}

long PackagesWishlistViewController::tableViewNumberOfRowsInSection(UITableView&, long) {
  return static_cast<long>(packages_.size());
}

std::shared_ptr<UITableViewCell> PackagesWishlistViewController::tableViewCellForRowAtIndexPath(UITableView& table,
                                                                                               const NSIndexPath& path) {
  auto cell = std::dynamic_pointer_cast<PackageCell>(table.dequeueReusableCellWithIdentifier("cell", path));
  if (!cell) return std::make_shared<UITableViewCell>();
  const std::string identifier =
      static_cast<size_t>(path.row) < packages_.size() ? packages_[static_cast<size_t>(path.row)] : std::string();
  std::optional<KVRPackage> package = KVRPackage::objectForPrimaryKey(identifier);
  if (!package) {
    // Gone since the list was read: the row stays, empty.
    package = KVRPackage();
    package->setIdentifier(identifier);
  }
  cell->updateWithPackage(*package);
  cell->setBackgroundColor(UIColor::clearColor());
  cell->iconView()->setImage(KVPackageIcons::iconForIdentifier(identifier));
  cell->iconView()->layer().cornerRadius = cell->iconView()->frame().height() * 0.2237;
  cell->iconView()->layer().masksToBounds = true;
  if (palette())
    cell->nameLbl()->setTextColor(package->isFree() ? palette()->primaryTextColor() : palette()->paidTextColor());
  cell->updateQueuingIconWithPackage(package);
  cell->versionLbl()->setText(package->version().value_or(""));
  cell->updateConpatibilityIndicatorWithPackageIdentifier(identifier, package->version().value_or(""));
  cell->separator()->setHidden(path.row == static_cast<long>(packages_.size()) - 1);
  cell->setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
  return cell;
}

void PackagesWishlistViewController::tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath& path) {
  if (static_cast<size_t>(path.row) >= packages_.size()) return;
  const std::string& identifier = packages_[static_cast<size_t>(path.row)];
  // The wishlist always opens the native page, whatever the source prefers.
  auto page = context_.screens->nativePackagePage(identifier, {});
  auto package = KVRPackage::objectForPrimaryKey(identifier);
  page->navigationItem().setTitle(package ? package->name().value_or(identifier) : identifier);
  table.deselectRowAtIndexPath(path, true);
  packagePage_ = page;
  if (navigationController()) navigationController()->pushViewController(page, true);
}
