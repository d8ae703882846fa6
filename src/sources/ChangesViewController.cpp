#include "sources/ChangesViewController.h"

#include <algorithm>

#include "core/KVQueueStateNotification.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "database/KVIconProvider.h"
#include "database/KVRPackages.h"
#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/WeakSelf.h"
#include "interface/GetPackageCell.h"
#include "interface/KVApplicationActions.h"
#include "interface/KVCategorySpecial.h"
#include "interface/KVPackageIcons.h"
#include "interface/KVScreens.h"
#include "browse/KVCardLook.h"
#include "sources/KVCards.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIButton.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIProgressView.h"
#include "uikit/UIScreen.h"
#include "uikit/UIScrollView.h"
#include "uikit/UIViewControllerTransitionCoordinator.h"

namespace {
constexpr const char* kUpdatesPredicate = "isUpdated = 1 AND isHeld = 0";
}  // namespace

ChangesViewController::ChangesViewController(KVScreenContext context) : context_(std::move(context)) {
  setTitle(NSLocalizedString("Changes"));
}

ChangesViewController::~ChangesViewController() {
  for (UITableView* table : {updatedPackagesTableView_.get(), newPackagesTableView_.get()}) {
    if (!table) continue;
    table->setDataSource(nullptr);
    table->setTableDelegate(nullptr);
  }
}

// ---- The page

void ChangesViewController::loadView() {
  KVPalettedViewController::loadView();
  scrollView_ = std::make_shared<UIScrollView>(UIScreen::mainScreen().bounds());
  view()->addSubview(scrollView_);
  tasksProgressBar_ = std::make_shared<UIProgressView>(UIProgressViewStyleDefault);
  scrollView_->addSubview(tasksProgressBar_);
  KVCards::makeCard(*scrollView_, "", updatedPackagesCard_, updatedPackagesTitle_, updatedPackagesTableView_,
                    updatedHeight_);
  updateAllBtn_ = KVCards::makeTitleButton(*updatedPackagesCard_, NSLocalizedString("Update All"));
  updateAllBtn_->addTarget(this, [this](UIControl&) { updateAllPackages(); }, UIControlEventTouchUpInside);
  KVCards::makeCard(*scrollView_, "", newPackagesCard_, newPackagesTitle_, newPackagesTableView_, newHeight_);
  seeAllNewPackagesBtn_ = KVCards::makeTitleButton(*newPackagesCard_, NSLocalizedString("See All"));
  seeAllNewPackagesBtn_->addTarget(this, [this](UIControl&) { showPackagesTableView(); }, UIControlEventTouchUpInside);
  newTop_ = NSLayoutConstraint::constraintWithItem({newPackagesCard_.get(), nullptr}, NSLayoutAttributeTop,
                                                   NSLayoutRelationEqual, {}, NSLayoutAttributeNotAnAttribute, 1, 20);
  layoutCards();
}

void ChangesViewController::layoutCards() {
  if (!scrollView_) return;
  CGRect bounds = view()->bounds();
  scrollView_->setFrame(bounds);
  tasksProgressBar_->setFrame(CGRect::make(0, 0, bounds.width(), 2));
  double bottom = 20;
  if (!updatedPackagesCard_->isHidden())
    bottom = KVCards::place(*updatedPackagesCard_, *updatedPackagesTitle_, *updatedPackagesTableView_, *updatedHeight_,
                            20, bounds.width());
  bottom = std::max(bottom, KVCards::place(*newPackagesCard_, *newPackagesTitle_, *newPackagesTableView_, *newHeight_,
                                           newTop_->constant(), bounds.width()));
  scrollView_->setContentSize(CGSize{bounds.width(), bottom + 20});
}

void ChangesViewController::viewDidLoad() {
  KVPalettedViewController::viewDidLoad();
  setTitle(NSLocalizedString("Changes"));
  tasksProgressBar_->setHidden(true);
  for (UITableView* table : {updatedPackagesTableView_.get(), newPackagesTableView_.get()}) {
    table->setDataSource(this);
    table->setTableDelegate(this);
    table->registerNib("GetPackageCell", "getPackageCell");
  }
  newPackagesTableView_->registerClass<UITableViewCell>("headerCell");
  newPackagesTableView_->registerClass<UITableViewCell>("buttonCell");
  iconObservation_ = NotificationCenter::defaultCenter().addObserver(
      KVRPackageInfoIconChangedNotification, &DispatchQueue::mainQueue(),
      [weak = weakSelf(this)](const Notification& n) {
        if (auto self = weak.lock()) self->iconChanged(n);
      });
  scrollView_->setAlwaysBounceVertical(true);
  registerForRealmUpdates();
}

void ChangesViewController::viewWillAppear(bool animated) {
  KVPalettedViewController::viewWillAppear(animated);
  for (UITableView* table : {updatedPackagesTableView_.get(), newPackagesTableView_.get()}) {
    table->setBackgroundColor(UIColor::clearColor());
    table->setSeparatorColor(UIColor::clearColor());
  }
  countGroups();
  updatedPackagesTableView_->reloadData();
  newPackagesTableView_->reloadData();
  animateContentForTable(kNewestTable | kUpdatesTable);
}

void ChangesViewController::viewDidLayoutSubviews() {
  KVPalettedViewController::viewDidLayoutSubviews();
  layoutCards();
  updateShadows();
}

void ChangesViewController::viewWillTransitionToSize(CGSize size, UIViewControllerTransitionCoordinator& coordinator) {
  KVPalettedViewController::viewWillTransitionToSize(size, coordinator);
  coordinator.animateAlongsideTransition([weak = weakSelf(this)] {
    if (auto self = weak.lock()) self->updateShadows();
  });
}

void ChangesViewController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  if (!palette || !isViewLoaded()) return;
  for (UIView* v : {view().get(), updatedPackagesCard_.get(), newPackagesCard_.get()})
    v->setBackgroundColor(palette->backgroundColor());
  updatedPackagesTitle_->setTextColor(palette->primaryTextColor());
  newPackagesTitle_->setTextColor(palette->primaryTextColor());
  updatedPackagesTableView_->reloadData();
  newPackagesTableView_->reloadData();
}

// ---- The two live lists

void ChangesViewController::registerForRealmUpdates() {
  showsIncompatible_ = QuillbarkPersistentPreferences::sharedInstance().boolForKey("ShowIncompatiblePackages");
  auto all = showsIncompatible_ ? KVRPackage::allObjects() : KVRPackage::objectsWhere("tweakCompatibleStatus != 1");
  newestPackages_ = all.sorted({{"updatedDateStr", false}, {"name", true}});
  updatedPackages_ = KVRPackage::objectsWhere(kUpdatesPredicate).sorted("name", true);
  newestPackageNotification_ = newestPackages_.observe(
      [weak = weakSelf(this)](const auto& results, const auto*, const ErrorRef& error) {
        auto self = weak.lock();
        if (!self || error) return;  // the list keeps what it showed
        self->newestPackages_ = results;
        self->countGroups();
        self->newPackagesTableView_->reloadData();
        self->animateContentForTable(kNewestTable);
      });
  updatedPackageNotification_ = updatedPackages_.observe(
      [weak = weakSelf(this)](const auto& results, const auto*, const ErrorRef& error) {
        auto self = weak.lock();
        if (!self || error) return;
        self->updatedPackages_ = results;
        self->updatedPackagesTableView_->reloadData();
        self->animateContentForTable(kUpdatesTable);
      });
}

void ChangesViewController::countGroups() {
  newCount_ = 0;
  oldCount_ = 0;
  auto first = newestPackages_.first();
  if (!first) return;  // nothing has changed yet
  auto groupOf = [this](const std::optional<std::string>& date) {
    return static_cast<long>(date ? newestPackages_.filter("updatedDateStr = %@", *date).count()
                                  : newestPackages_.filter("updatedDateStr = nil").count());
  };
  newCount_ = groupOf(first->updatedDateStr());
  if (static_cast<size_t>(newCount_) < newestPackages_.count())
    if (auto next = newestPackages_.at(newCount_)) oldCount_ = groupOf(next->updatedDateStr());
}

// ---- Rows

long ChangesViewController::newestPackageRows() const { return std::min(newCount_, kNewestRows); }

long ChangesViewController::numberOfSectionsInTableView(UITableView& table) {
  return isNewestTable(table) && oldCount_ > 0 ? 2 : 1;
}

long ChangesViewController::tableViewNumberOfRowsInSection(UITableView& table, long section) {
  if (!isNewestTable(table)) return static_cast<long>(updatedPackages_.count());
  if (section == 1) return oldCount_ < kNewestRows ? oldCount_ + 2 : kNewestRows + 1;
  // A lone group ends with "Show All Changes", after its packages.
  if (oldCount_ == 0) return newCount_ > 0 ? newestPackageRows() + 1 : 0;
  return newestPackageRows();
}

bool ChangesViewController::tableViewHasPackageCellAtIndexPath(UITableView& table, const NSIndexPath& path) const {
  if (!isNewestTable(table)) return true;
  if (path.section == 1)
    return path.row > 0 && path.row < const_cast<ChangesViewController*>(this)->tableViewNumberOfRowsInSection(table, 1) - 1;
  return path.row < newestPackageRows();
}

std::optional<KVRPackage> ChangesViewController::tableViewPackageAtIndexPath(UITableView& table,
                                                                             const NSIndexPath& path) const {
  if (!tableViewHasPackageCellAtIndexPath(table, path)) return std::nullopt;
  if (!isNewestTable(table)) return updatedPackages_.at(path.row);
  // The second group starts right after the whole newest group, however few of it show.
  if (path.section == 1) return newestPackages_.at(newCount_ + path.row - 1);
  return newestPackages_.at(path.row);
}

double ChangesViewController::tableViewHeightForRowAtIndexPath(UITableView& table, const NSIndexPath& path) {
  return tableViewHasPackageCellAtIndexPath(table, path) ? kPackageRowHeight : kPlainRowHeight;
}

double ChangesViewController::heightForNewPackagesTableView() {
  UITableView& table = *newPackagesTableView_;
  double height = 0;
  for (long section = 0; section < numberOfSectionsInTableView(table); ++section)
    for (long row = 0; row < tableViewNumberOfRowsInSection(table, section); ++row)
      height += tableViewHeightForRowAtIndexPath(table, NSIndexPath::indexPathForRow(row, section));
  return height;
}

std::shared_ptr<UITableViewCell> ChangesViewController::tableViewCellForRowAtIndexPath(UITableView& table,
                                                                                      const NSIndexPath& path) {
  const std::shared_ptr<KVPalette>& colours = palette();
  if (!tableViewHasPackageCellAtIndexPath(table, path)) {
    const bool header = path.row == 0;
    auto cell = table.dequeueReusableCellWithIdentifier(header ? "headerCell" : "buttonCell", path);
    cell->setBackgroundColor(UIColor::clearColor());
    cell->setSelectionStyle(UITableViewCellSelectionStyleNone);
    UILabel* label = cell->textLabel();
    if (header) {
      label->setText(NSLocalizedString("Older Changes"));
      label->setFont(UIFont::systemFontOfSize(22, UIFontWeightSemibold));
      label->setTextAlignment(NSTextAlignmentNatural);
      if (colours) label->setTextColor(colours->primaryTextColor());
    } else {
      label->setText(NSLocalizedString("Show All Changes"));
      label->setFont(UIFont::systemFontOfSize(17));
      label->setTextAlignment(NSTextAlignmentCenter);
      if (colours) label->setTextColor(colours->tintColor());
    }
    return cell;
  }
  auto cell = std::dynamic_pointer_cast<GetPackageCell>(table.dequeueReusableCellWithIdentifier("getPackageCell", path));
  if (!cell) return std::make_shared<UITableViewCell>();
  cell->setBackgroundColor(UIColor::clearColor());
  auto package = tableViewPackageAtIndexPath(table, path);
  if (!package) return cell;  // removed since the list was taken: its change follows
  cell->updateWithPackage(*package);
  cell->updateButtonTitleWithPackage(package, false);
  if (colours) {
    cell->nameLbl()->setTextColor(package->isFree() ? colours->primaryTextColor() : colours->paidTextColor());
    cell->getBtn()->setBackgroundColor(colours->getButtonBackgoundColor());
    cell->getBtn()->setTitleColor(colours->getButtonTextColor());
  }
  cell->iconView()->setImage(KVPackageIcons::iconForIdentifier(package->identifier()));
  const bool lastOfSection = isNewestTable(table) ? path.section == 0 && path.row == newestPackageRows() - 1
                                                  : path.row == tableViewNumberOfRowsInSection(table, 0) - 1;
  cell->separator()->setHidden(lastOfSection);
  return cell;
}

void ChangesViewController::tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath& path) {
  table.deselectRowAtIndexPath(path, true);
  if (auto package = tableViewPackageAtIndexPath(table, path)) {
    auto screen = context_.screens->package(package->identifier());
    if (!navigationController() || !screen) return;
    lastPushed_ = screen;
    navigationController()->pushViewController(std::move(screen), true);
    return;
  }
  if (isNewestTable(table) && path.row > 0) showPackagesTableView();
}

// ---- Actions

void ChangesViewController::updateAllPackages() {
  std::vector<std::string> identifiers;
  for (const Value& identifier : KVRPackage::objectsWhere(kUpdatesPredicate).valuesForKey("identifier"))
    identifiers.push_back(identifier.asString());
  if (ErrorRef error = context_.packages->setPackagesWhere(kUpdatesPredicate, true, std::nullopt, 0))
    KVLog("Queueing the updates failed: %s", error->localizedDescription().c_str());
  // Every row and button of a queued package redraws itself.
  for (const auto& identifier : identifiers)
    NotificationCenter::defaultCenter().post(KVQueueStateNotificationName(identifier));
  context_.actions->presentQueue();
}

void ChangesViewController::showPackagesTableView() {
  auto kind = KVPackageListKind::ofCategory(kCategorySpecial_NewPackages);
  kind.title = NSLocalizedString(kCategorySpecial_NewPackages);
  auto list = context_.screens->packageList(kind);
  if (!navigationController() || !list) return;
  lastPushed_ = list;
  navigationController()->pushViewController(std::move(list), true);
}

// ---- What the page shows

void ChangesViewController::animateContentForTable(int tables) {
  UIView::animateWithDuration(
      0.3, 0, UIViewAnimationOptionAllowUserInteraction | UIViewAnimationOptionBeginFromCurrentState,
      [this, tables] {
        if (tables & kNewestTable) {
          newPackagesTitle_->setText(
              NSLocalizedFormat(newCount_ < 2 ? "%lu New Package" : "%lu New Packages", {std::to_string(newCount_)}));
          newHeight_->setConstant(heightForNewPackagesTableView());
        }
        if (tables & kUpdatesTable) {
          size_t updates = updatedPackages_.count();
          updatedPackagesTitle_->setText(NSLocalizedFormat(updates < 2 ? "%lu Available Update" : "%lu Available Updates",
                                                           {std::to_string(updates)}));
          updatedHeight_->setConstant(double(updates) * kPackageRowHeight);
        }
        layoutCards();
        updateShadows();
      });
  updateConstraints();
}

void ChangesViewController::updateConstraints() {
  const bool updates = !updatedPackages_.empty();
  updatedPackagesCard_->setHidden(!updates);
  newTop_->setConstant(updates ? updatedPackagesCard_->frame().height() + 50 : 20);
  layoutCards();
}

void ChangesViewController::updateShadows() {
  performOnMainThread([weak = weakSelf(this)] {
    auto self = weak.lock();
    if (!self || !self->updatedPackagesCard_) return;
    for (UIView* card : {self->updatedPackagesCard_.get(), self->newPackagesCard_.get()})
      KVCardLook::applyShadow(*card, self->palette());
  });
}

void ChangesViewController::iconChanged(const Notification& notification) {
  const std::string identifier = notification.object.asString();
  for (UITableView* table : {newPackagesTableView_.get(), updatedPackagesTableView_.get()})
    for (const auto& cell : table->visibleCells())
      if (auto* row = dynamic_cast<GetPackageCell*>(cell.get()); row && row->packageIdentifier() == identifier) {
        row->updatePackageIcon();
        return;
      }
}
