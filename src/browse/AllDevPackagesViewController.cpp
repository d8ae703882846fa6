#include "browse/AllDevPackagesViewController.h"

#include "core/QuillbarkPersistentPreferences.h"
#include "database/KVRPackage.h"
#include "database/KVIconProvider.h"
#include "foundation/BlockHelpers.h"
#include "foundation/WeakSelf.h"
#include "interface/GetPackageCell.h"
#include "interface/KVPackageIcons.h"
#include "interface/KVScreens.h"
#include "uikit/UIButton.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIScreen.h"
#include "uikit/UISwipeGestureRecognizer.h"

AllDevPackagesViewController::AllDevPackagesViewController(KVScreenContext context, std::string maintainer,
                                                           std::string titleString)
    : context_(std::move(context)), maintainer_(std::move(maintainer)), titleString_(std::move(titleString)) {}

AllDevPackagesViewController::~AllDevPackagesViewController() {
  if (tableView_) {
    tableView_->setDataSource(nullptr);
    tableView_->setTableDelegate(nullptr);
  }
}

std::vector<std::string> AllDevPackagesViewController::packagesOfMaintainer(const std::string& maintainer,
                                                                             bool sortedByName) {
  const bool all = QuillbarkPersistentPreferences::sharedInstance().boolForKey("ShowIncompatiblePackages");
  auto results = all ? KVRPackage::objectsWhere("maintainer = %@", maintainer)
                     : KVRPackage::objectsWhere("maintainer = %@ AND tweakCompatibleStatus != 1", maintainer);
  if (sortedByName) results = results.sorted("name", true);
  std::vector<std::string> identifiers;
  for (const Value& identifier : results.valuesForKey("identifier")) identifiers.push_back(identifier.asString());
  return identifiers;
}

void AllDevPackagesViewController::fillRow(GetPackageCell& cell, const std::string& identifier, const KVPalette* palette,
                                           bool last) {
  auto package = KVRPackage::objectForPrimaryKey(identifier);
  if (package) cell.updateWithPackage(*package);
  else cell.setPackageIdentifier(identifier);
  cell.updateButtonTitleWithPackage(package, false);
  if (palette) {
    cell.nameLbl()->setTextColor(!package || package->isFree() ? palette->primaryTextColor() : palette->paidTextColor());
    cell.getBtn()->setBackgroundColor(palette->getButtonBackgoundColor());
    cell.getBtn()->setTitleColor(palette->getButtonTextColor());
  }
  cell.iconView()->setImage(KVPackageIcons::iconForIdentifier(identifier));
  cell.separator()->setHidden(last);
}

void AllDevPackagesViewController::loadView() {
  KVPalettedViewController::loadView();
  tableView_ = std::make_shared<UITableView>(UIScreen::mainScreen().bounds(), UITableViewStylePlain);
  view()->addSubview(tableView_);
}

void AllDevPackagesViewController::viewDidLoad() {
  KVPalettedViewController::viewDidLoad();
  navigationItem().setTitle(titleString_);
  packages_ = packagesOfMaintainer(maintainer_, true);
  tableView_->setDataSource(this);
  tableView_->setTableDelegate(this);
  tableView_->setRowHeight(70);
  tableView_->registerNib("GetPackageCell", "getPackageCell");
  auto swipe = std::make_shared<UISwipeGestureRecognizer>([this](UIGestureRecognizer&) { backSwipe(); });
  swipe->setDirection(UISwipeGestureRecognizerDirectionRight);
  view()->addGestureRecognizer(swipe);
}

void AllDevPackagesViewController::registerScreenNotifications() {
  observe(KVRPackageInfoIconChangedNotification, [this](const Notification& n) { iconChanged(n); });
}

void AllDevPackagesViewController::backSwipe() {
  if (navigationController()) navigationController()->popViewControllerAnimated(true);
}

// Applied at every appearance: the list follows the database (a package refreshed away,
// a compatibility change) each time it is shown again.
void AllDevPackagesViewController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  if (!palette || !isViewLoaded()) return;
  view()->setBackgroundColor(palette->backgroundColor());
  tableView_->setBackgroundColor(UIColor::clearColor());
  tableView_->setSeparatorColor(UIColor::clearColor());
  packages_ = packagesOfMaintainer(maintainer_, true);
  tableView_->reloadData();
}

void AllDevPackagesViewController::iconChanged(const Notification& notification) {
  performOnMainThread([weak = weakSelf(this), identifier = notification.object.asString()] {
    auto self = weak.lock();
    if (!self || !self->tableView_) return;
    for (const auto& cell : self->tableView_->visibleCells())
      if (auto row = std::dynamic_pointer_cast<GetPackageCell>(cell); row && row->packageIdentifier() == identifier)
        row->updatePackageIcon();
  });
}

long AllDevPackagesViewController::tableViewNumberOfRowsInSection(UITableView&, long) {
  return static_cast<long>(packages_.size());
}

std::shared_ptr<UITableViewCell> AllDevPackagesViewController::tableViewCellForRowAtIndexPath(UITableView& table,
                                                                                             const NSIndexPath& path) {
  auto cell = std::dynamic_pointer_cast<GetPackageCell>(table.dequeueReusableCellWithIdentifier("getPackageCell", path));
  if (!cell || static_cast<size_t>(path.row) >= packages_.size()) return cell ? cell : std::make_shared<UITableViewCell>();
  fillRow(*cell, packages_[static_cast<size_t>(path.row)], palette().get(),
          path.row == static_cast<long>(packages_.size()) - 1);
  cell->setBackgroundColor(UIColor::clearColor());
  return cell;
}

void AllDevPackagesViewController::tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath& path) {
  table.deselectRowAtIndexPath(path, true);
  if (static_cast<size_t>(path.row) >= packages_.size() || !navigationController()) return;
  const std::string& identifier = packages_[static_cast<size_t>(path.row)];
  auto page = context_.screens->nativePackagePage(identifier, {});
  auto package = KVRPackage::objectForPrimaryKey(identifier);
  page->navigationItem().setTitle(package ? package->name().value_or(identifier) : identifier);
  packagePage_ = page;
  navigationController()->pushViewController(page, true);
}

void AllDevPackagesViewController::scrollViewDidEndDecelerating(UIScrollView&) {
  for (const auto& cell : tableView_->visibleCells())
    if (auto row = std::dynamic_pointer_cast<GetPackageCell>(cell))
      row->iconView()->setImage(KVPackageIcons::iconForIdentifier(row->packageIdentifier()));
}
