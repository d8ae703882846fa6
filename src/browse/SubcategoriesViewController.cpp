#include "browse/SubcategoriesViewController.h"

#include "account/KVKeychainBindings.h"
#include "browse/CategoriesCell.h"
#include "browse/KVPackageRows.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "database/KVIconProvider.h"
#include "database/KVRPackages.h"
#include "database/KVRSources.h"
#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/WeakSelf.h"
#include "interface/KVCategorySpecial.h"
#include "interface/KVScreens.h"
#include "interface/PackageCell.h"
#include "payment/KVRepoStoreAPI.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIProgressView.h"
#include "uikit/UIScreen.h"
#include "uikit/UISwipeGestureRecognizer.h"
#include "uikit/UIViewControllerTransitionCoordinator.h"

SubcategoriesViewController::SubcategoriesViewController(KVScreenContext context, std::string category,
                                                         std::optional<std::string> sourceLocation)
    : context_(std::move(context)), category_(std::move(category)), sourceLocation_(std::move(sourceLocation)) {}

SubcategoriesViewController::~SubcategoriesViewController() {
  if (tableView_) {
    tableView_->setDataSource(nullptr);
    tableView_->setTableDelegate(nullptr);
  }
}

bool SubcategoriesViewController::isSource() const { return category_ == kCategorySpecial_SourcePackages; }

void SubcategoriesViewController::loadView() {
  KVPalettedViewController::loadView();
  tableView_ = std::make_shared<UITableView>(UIScreen::mainScreen().bounds(), UITableViewStylePlain);
  view()->addSubview(tableView_);
  tasksProgressBar_ = std::make_shared<UIProgressView>();
  view()->addSubview(tasksProgressBar_);
}

void SubcategoriesViewController::viewDidLoad() {
  KVPalettedViewController::viewDidLoad();
  tasksProgressBar_->setHidden(true);
  setOverrideLargeTitles(true);
  if (isSource()) source_ = KVRSource::objectForPrimaryKey(sourceLocation_.value_or(""));
  tableView_->registerNib("CategoriesCell", "catCell");
  tableView_->registerNib("PackageCell", "cell");
  tableView_->setDataSource(this);
  tableView_->setTableDelegate(this);
  auto swipe = std::make_shared<UISwipeGestureRecognizer>([this](UIGestureRecognizer&) { backSwipe(); });
  swipe->setDirection(UISwipeGestureRecognizerDirectionRight);
  view()->addGestureRecognizer(swipe);
  isScrolling_ = false;
  needCacheRebuild_ = true;
}

void SubcategoriesViewController::registerScreenNotifications() {
  observe(KVRSourceUpdatedNotification, [this](const Notification& n) { sourceRefreshed(n); });
  observe(KVRPackageInfoIconChangedNotification, [this](const Notification& n) { iconChanged(n); });
}

void SubcategoriesViewController::viewWillAppear(bool animated) {
  KVPalettedViewController::viewWillAppear(animated);
  tableView_->setBackgroundColor(UIColor::clearColor());
  updateUI();
  rebuildCache();
}

void SubcategoriesViewController::viewWillTransitionToSize(CGSize size, UIViewControllerTransitionCoordinator& coordinator) {
  KVPalettedViewController::viewWillTransitionToSize(size, coordinator);
  coordinator.animateAlongsideTransition([weak = weakSelf(this)] {
    if (auto self = weak.lock()) self->tableView_->reloadData();
  });
}

void SubcategoriesViewController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  if (palette && isViewLoaded()) view()->setBackgroundColor(palette->backgroundColor());
}

// ---- Rebuilds

void SubcategoriesViewController::rebuildCache() {
  if (isScrolling_) return;  // runs when the scrolling ends
  needCacheRebuild_ = false;
  std::vector<std::string> names;
  if (isSource()) {
    const std::string location = sourceLocation_.value_or("");
    source_ = KVRSource::objectForPrimaryKey(location);
    if (!source_) {
      // The source was removed: nothing is left to show.
      if (auto* navigation = navigationController(); navigation && navigation->topViewController() == this)
        navigation->popViewControllerAnimated(true);
      groups_.rebuild({});
      sections_ = {};
      tableView_->reloadData();
      return;
    }
    for (auto& name : context_.packages->arrayOfSourceCategories(location))
      if (!name.empty()) names.push_back(std::move(name));
    if (signedInToPaymentService()) KVRepoStoreAPI::updadatePurchasedPackagesForSource(location);
    // A source's screen lists its categories only: its packages are one row away.
    packages_ = {};
  } else {
    names = context_.packages->arrayOfSubcategoriesOfCategory(category_);
    bool all = QuillbarkPersistentPreferences::sharedInstance().boolForKey("ShowIncompatiblePackages");
    packages_ = (all ? KVRPackage::objectsWhere("category = %@", category_)
                     : KVRPackage::objectsWhere("category = %@ AND tweakCompatibleStatus != 1", category_))
                    .sorted("name", true);
  }
  groups_.rebuild(names);
  if (source_ && !groups_.rows().empty()) groups_.prependRow("All Packages");
  rebuildSectionsCacheForSortCriteria("name");
  tableView_->reloadData();
}

void SubcategoriesViewController::rebuildSectionsCacheForSortCriteria(const std::string& sortKey) {
  if (!packages_.results().isValid()) {
    sections_ = {};
    return;
  }
  auto values = packages_.valuesForKeys({"identifier", sortKey});
  sections_ = KVPackageListSections::build(sortKey, std::move(values[0]), values[1]);
  sections_.indexTitles.clear();  // no index bar here
}

void SubcategoriesViewController::updateUI() {
  if (isScrolling_) return;
  needCacheRebuild_ = false;
  setRightBarButtons();
  if (tableView_) tableView_->reloadData();
}

bool SubcategoriesViewController::signedInToPaymentService() const {
  return source_ && !source_->endpoint().value_or("").empty() &&
         KVKeychainBindings::sharedKeychainBindings().objectForKey(source_->location() + "_token").has_value();
}

void SubcategoriesViewController::setRightBarButtons() {
  if (!isSource()) {
    navigationItem().setRightBarButtonItems({});
    return;
  }
  std::vector<std::shared_ptr<UIBarButtonItem>> items;
  items.push_back(UIBarButtonItem::itemWithTitle(NSLocalizedString("Source Info"), UIBarButtonItemStylePlain,
                                                 [this](UIBarButtonItem&) { sourceInfo(); }));
  if (signedInToPaymentService())
    items.push_back(UIBarButtonItem::itemWithTitle(NSLocalizedString("Purchased"), UIBarButtonItemStylePlain,
                                                   [this](UIBarButtonItem&) { seeSileoPurchasedPackages(); }));
  navigationItem().setRightBarButtonItems(items);
}

void SubcategoriesViewController::backSwipe() {
  if (navigationController()) navigationController()->popViewControllerAnimated(true);
}

void SubcategoriesViewController::sourceInfo() {
  if (!sourceLocation_) return;
  presentViewController(KVScreens::inNavigation(context_.screens->sourcePage(sourceLocation_, true)), true);
}

void SubcategoriesViewController::seeSileoPurchasedPackages() {
  if (!sourceLocation_ || !navigationController()) return;
  lastPushed_ = context_.screens->packageList(KVPackageListKind::purchasedPackages(*sourceLocation_));
  navigationController()->pushViewController(lastPushed_, true);
}

// ---- Groups

void SubcategoriesViewController::manipulateAddonsArray(bool addons, bool themes, bool tweaks, bool widgets) {
  auto group = KVCategoryGroups::chosen(addons, themes, tweaks, widgets);
  if (!group) return;
  bool opening = groups_.toggleInTable(*group, *tableView_);
  if (opening)
    if (auto header = groups_.rowOfHeader(*group))
      tableView_->scrollToRowAtIndexPath(NSIndexPath::indexPathForRow(*header, 0), UITableViewScrollPositionTop, true);
}

// ---- The table

const std::vector<std::string>* SubcategoriesViewController::packageRows(long section) const {
  long index = hasSubcategorySection() ? section - 1 : section;
  if (index < 0 || index >= static_cast<long>(sections_.sections.size())) return nullptr;
  auto it = sections_.sectionsDictionary.find(sections_.sections[index]);
  return it == sections_.sectionsDictionary.end() ? nullptr : &it->second;
}

std::optional<std::string> SubcategoriesViewController::identifierAtIndexPath(const NSIndexPath& path) const {
  const auto* rows = packageRows(path.section);
  if (!rows || (hasSubcategorySection() && path.section == 0)) return std::nullopt;
  if (path.row < 0 || path.row >= static_cast<long>(rows->size())) return std::nullopt;
  return (*rows)[path.row];
}

long SubcategoriesViewController::numberOfSectionsInTableView(UITableView&) {
  return static_cast<long>(sections_.sections.size()) + (hasSubcategorySection() ? 1 : 0);
}

long SubcategoriesViewController::tableViewNumberOfRowsInSection(UITableView&, long section) {
  if (hasSubcategorySection() && section == 0) return static_cast<long>(groups_.rows().size());
  const auto* rows = packageRows(section);
  return rows ? static_cast<long>(rows->size()) : 0;
}

std::optional<std::string> SubcategoriesViewController::tableViewTitleForHeaderInSection(UITableView&, long section) {
  if (hasSubcategorySection() && section == 0)
    return NSLocalizedString(isSource() ? "Source categories" : "Subcategories");
  long index = hasSubcategorySection() ? section - 1 : section;
  if (index < 0 || index >= static_cast<long>(sections_.sections.size())) return std::nullopt;
  return sections_.sections[index];
}

double SubcategoriesViewController::tableViewHeightForRowAtIndexPath(UITableView&, const NSIndexPath& path) {
  return hasSubcategorySection() && path.section == 0 ? 44 : 70;
}

std::shared_ptr<UITableViewCell> SubcategoriesViewController::tableViewCellForRowAtIndexPath(UITableView& table,
                                                                                            const NSIndexPath& path) {
  if (hasSubcategorySection() && path.section == 0) {
    auto cell = std::dynamic_pointer_cast<CategoriesCell>(table.dequeueReusableCellWithIdentifier("catCell", path));
    const auto& rows = groups_.rows();
    if (!cell || path.row < 0 || path.row >= static_cast<long>(rows.size())) return std::make_shared<UITableViewCell>();
    const std::string& text = rows[path.row];
    bool header = KVCategoryGroups::groupOfHeader(text).has_value();
    cell->setBackgroundColor(UIColor::clearColor());
    cell->nameLbl()->setText(NSLocalizedString(text));
    if (palette()) cell->nameLbl()->setTextColor(palette()->primaryTextColor());
    cell->applyLook(CategoriesCell::lookForCategory(text));
    cell->setAccessoryType(header ? UITableViewCellAccessoryNone : UITableViewCellAccessoryDisclosureIndicator);
    cell->separatorTrailingConstraint()->setConstant(header ? 40 : 0);
    cell->separator()->setHidden(path.row == static_cast<long>(rows.size()) - 1);
    return cell;
  }
  auto cell = std::dynamic_pointer_cast<PackageCell>(table.dequeueReusableCellWithIdentifier("cell", path));
  if (!cell) return std::make_shared<UITableViewCell>();
  const auto* rows = packageRows(path.section);
  KVPackageRows::fill(*cell, identifierAtIndexPath(path).value_or(""), palette(), table.contentOffset().y == 0,
                      rows && path.row == static_cast<long>(rows->size()) - 1);
  return cell;
}

void SubcategoriesViewController::tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath& path) {
  table.deselectRowAtIndexPath(path, true);
  auto* navigation = navigationController();
  if (hasSubcategorySection() && path.section == 0) {
    if (path.row < 0 || path.row >= static_cast<long>(groups_.rows().size())) return;
    const std::string text = groups_.rows()[path.row];
    if (auto group = KVCategoryGroups::groupOfHeader(text)) {
      manipulateAddonsArray(*group == KVCategoryGroups::Addons, *group == KVCategoryGroups::Themes,
                            *group == KVCategoryGroups::Tweaks, *group == KVCategoryGroups::Widgets);
      return;
    }
    auto kind = KVPackageListKind::ofCategory(category_, text);
    if (isSource() && source_) kind.sourceLocation = source_->location();
    kind.title = NSLocalizedString(text);
    lastPushed_ = context_.screens->packageList(kind);
    if (navigation) navigation->pushViewController(lastPushed_, true);
    return;
  }
  auto package = KVRPackage::objectForPrimaryKey(identifierAtIndexPath(path).value_or(""));
  if (!package || !navigation) return;
  lastPushed_ = context_.screens->package(package->identifier());
  navigation->pushViewController(lastPushed_, true);
}

std::vector<std::shared_ptr<UITableViewRowAction>> SubcategoriesViewController::tableViewEditActionsForRowAtIndexPath(
    UITableView& table, const NSIndexPath& path) {
  auto identifier = identifierAtIndexPath(path);
  if (!identifier) return {};
  return KVPackageRows::swipeActions(context_, table, *identifier, [weak = weakSelf(this)] {
    if (auto self = weak.lock()) self->setRightBarButtons();
  });
}

// ---- Notifications and scrolling

void SubcategoriesViewController::sourceRefreshed(const Notification&) {
  if (!isViewLoaded() || !view()->window()) return;  // rebuilt when shown again
  needCacheRebuild_ = true;
  updateUI();
  rebuildCache();
}

void SubcategoriesViewController::iconChanged(const Notification& notification) {
  std::string identifier = notification.object.asString();
  performOnMainThread([weak = weakSelf(this), identifier] {
    auto self = weak.lock();
    if (!self || !self->tableView_) return;
    for (const auto& cell : self->tableView_->visibleCells()) {
      auto row = std::dynamic_pointer_cast<PackageCell>(cell);
      if (row && row->packageIdentifier() == identifier) {
        row->updatePackageIcon();
        return;
      }
    }
  });
}

void SubcategoriesViewController::scrollViewWillBeginDragging(UIScrollView&) { isScrolling_ = true; }

void SubcategoriesViewController::scrollViewDidEndDragging(UIScrollView&, bool willDecelerate) {
  // A drag that stops without momentum ends the scrolling too.
  if (!willDecelerate) scrollingEnded();
}

void SubcategoriesViewController::scrollViewDidEndDecelerating(UIScrollView&) { scrollingEnded(); }

void SubcategoriesViewController::scrollingEnded() {
  KVPackageRows::showRealIcons(*tableView_);
  isScrolling_ = false;
  if (!needCacheRebuild_) return;
  updateUI();
  rebuildCache();
}
