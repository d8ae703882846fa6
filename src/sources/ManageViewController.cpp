// The manage tab's page: its views, the two live lists, the installed counts, the
// time-since ticker, icons and theme. Rows and actions: ManageViewControllerRows.cpp.
#include "sources/ManageViewController.h"

#include <cmath>

#include "core/NSStringKorvaleExtensions.h"
#include "database/KVRPackages.h"
#include "database/KVRSources.h"
#include "foundation/BlockHelpers.h"
#include "foundation/Clock.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/NotificationCenter.h"
#include "foundation/WeakSelf.h"
#include "database/KVIconProvider.h"
#include "interface/KVApplicationActions.h"
#include "interface/KVPackageIcons.h"
#include "interface/PackageCell.h"
#include "browse/KVCardLook.h"
#include "sources/KVCards.h"
#include "sources/SourcesCell.h"
#include "store/Store.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIActivityIndicatorView.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UIButton.h"
#include "uikit/UILabel.h"
#include "uikit/UILongPressGestureRecognizer.h"
#include "uikit/UIProgressView.h"
#include "uikit/UIRefreshControl.h"
#include "uikit/UIScreen.h"
#include "uikit/UIScrollView.h"
#include "uikit/UIViewControllerTransitionCoordinator.h"


ManageViewController::ManageViewController(KVScreenContext context) : context_(std::move(context)) {
  setTitle(NSLocalizedString("Manage"));  // the tab's name, before the page is loaded
}

ManageViewController::~ManageViewController() {
  if (timeSinceTimer_) RunLoop::main().cancelTimer(timeSinceTimer_);
  for (UITableView* table : {installedPackagesTableView_.get(), sourcesTableView_.get()}) {
    if (!table) continue;
    table->setDataSource(nullptr);
    table->setTableDelegate(nullptr);
  }
  if (scrollView_) scrollView_->setDelegate(nullptr);
}

// ---- The page

void ManageViewController::loadView() {
  KVPalettedViewController::loadView();
  CGRect screen = UIScreen::mainScreen().bounds();
  scrollView_ = std::make_shared<UIScrollView>(screen);
  view()->addSubview(scrollView_);
  tasksProgressBar_ = std::make_shared<UIProgressView>(UIProgressViewStyleDefault);
  loadingIndicator_ = std::make_shared<UIActivityIndicatorView>();
  scrollView_->addSubview(tasksProgressBar_);
  scrollView_->addSubview(loadingIndicator_);
  KVCards::makeCard(*scrollView_, NSLocalizedString("Installed Packages"), installedPackagesCard_,
                    installedPackagesTitle_, installedPackagesTableView_, installedHeight_);
  seeAllInstalledPackagesBtn_ = KVCards::makeTitleButton(*installedPackagesCard_, NSLocalizedString("See All"));
  seeAllInstalledPackagesBtn_->addTarget(this, [this](UIControl&) { seeAllInstalledPackages(); },
                                         UIControlEventTouchUpInside);
  KVCards::makeCard(*scrollView_, NSLocalizedString("Sources"), sourcesCard_, sourcesTitle_, sourcesTableView_,
                    sourcesHeight_);
  layoutCards();
}

void ManageViewController::layoutCards() {
  if (!scrollView_) return;
  CGRect bounds = view()->bounds();
  scrollView_->setFrame(bounds);
  tasksProgressBar_->setFrame(CGRect::make(0, 0, bounds.width(), 2));
  loadingIndicator_->setFrame(CGRect::make(bounds.width() / 2 - 10, 4, 20, 20));
  double y = KVCards::place(*installedPackagesCard_, *installedPackagesTitle_, *installedPackagesTableView_,
                            *installedHeight_, KVCards::kMargin, bounds.width());
  y = KVCards::place(*sourcesCard_, *sourcesTitle_, *sourcesTableView_, *sourcesHeight_, y, bounds.width());
  scrollView_->setContentSize(CGSize{bounds.width(), y});
}

void ManageViewController::viewDidLoad() {
  KVPalettedViewController::viewDidLoad();
  tasksProgressBar_->setHidden(true);
  setTitle(NSLocalizedString("Manage"));
  if (palette()) {
    loadingIndicator_->setColor(palette()->primaryTextColor());
    loadingIndicator_->setBackgroundColor(palette()->backgroundColor());
  }
  loadingIndicator_->startAnimating();
  for (UITableView* table : {installedPackagesTableView_.get(), sourcesTableView_.get()}) {
    table->setDataSource(this);
    table->setTableDelegate(this);
  }
  installedPackagesTableView_->registerNib("PackageCell", "cell");
  sourcesTableView_->registerNib("SourcesCell", "sourcesCell");
  scrollView_->setDelegate(this);
  dictOfInstalledPackagesCount_.clear();
  // Heard for the page's whole life, also while another tab is in front.
  auto& center = NotificationCenter::defaultCenter();
  iconObservation_ = center.addObserver(KVRPackageInfoIconChangedNotification, &DispatchQueue::mainQueue(),
                                        [this](const Notification& n) { iconChanged(n); });
  sourceIconObservation_ = center.addObserver(KVRSourceInfoIconChangedNotification, &DispatchQueue::mainQueue(),
                                              [this](const Notification& n) { sourceIconChanged(n); });
  auto press = std::make_shared<UILongPressGestureRecognizer>([this](UIGestureRecognizer& r) { handleLongPressGesture(r); });
  press->setMinimumPressDuration(0.2);
  installedPackagesCard_->addGestureRecognizer(press);
  refreshController_ = std::make_shared<UIRefreshControl>();
  refreshController_->addTarget(this, [this](UIControl&) { handleRefresh(); }, UIControlEventValueChanged);
  scrollView_->setRefreshControl(refreshController_);
  scrollView_->setAlwaysBounceVertical(true);
  registerForDatabaseUpdates();
  // The tables show the rows of the results taken now: the page is as long as they are
  // before the first change notice comes (worked out off the main thread), so that its
  // end is where their last row is.
  sizeTable(true);
  sizeTable(false);
  layoutCards();
  // The ticker starts on the second after a whole minute, then runs every second.
  double t = Date::now().seconds;
  double first = std::max(0.0, std::trunc(std::floor(t / 60) * 60 + 1 - t));
  timeSinceTimer_ = RunLoop::main().addTimer(first, [weak = weakSelf(this)] {
    if (auto self = weak.lock()) self->tickTimeSince();
  }, 1.0);
  rebuildSourcesCache();
}

void ManageViewController::viewWillAppear(bool animated) {
  KVPalettedViewController::viewWillAppear(animated);
  navigationItem().setRightBarButtonItems(
      {UIBarButtonItem::itemWithBarButtonSystemItem(UIBarButtonSystemItemAdd, [this](UIBarButtonItem&) { addSource(); }),
       UIBarButtonItem::itemWithBarButtonSystemItem(UIBarButtonSystemItemRefresh,
                                                    [this](UIBarButtonItem&) { handleRefresh(); })});
  std::weak_ptr<KVApplicationActions> actions = context_.actions;
  navigationItem().setLeftBarButtonItem(UIBarButtonItem::itemWithBarButtonSystemItem(
      UIBarButtonSystemItemAction, [actions](UIBarButtonItem& item) {
        if (auto shared = actions.lock()) shared->shareAllSources(&item);
      }));
  if (needsRecount_) rebuildSourcesCache();
}

void ManageViewController::viewDidLayoutSubviews() {
  KVPalettedViewController::viewDidLayoutSubviews();
  layoutCards();
  updateShadows();
}

void ManageViewController::viewWillTransitionToSize(CGSize size, UIViewControllerTransitionCoordinator& coordinator) {
  KVPalettedViewController::viewWillTransitionToSize(size, coordinator);
  coordinator.animateAlongsideTransition([weak = weakSelf(this)] {
    if (auto self = weak.lock()) self->updateShadows();
  });
}

// ---- The live lists

void ManageViewController::registerForDatabaseUpdates() {
  allSources_ = KVRSource::allObjects().sorted("name", true);
  allPackages_ = KVRPackage::objectsWhere("isInstalled = 1").sorted("installDate", false);
  sourceNotification_ = allSources_.observe([weak = weakSelf(this)](const auto& results, const auto*,
                                                                     const ErrorRef& error) {
    auto self = weak.lock();
    if (!self) return;
    if (!error) self->allSources_ = results;
    self->resultsChanged(true, error);
  });
  packageNotification_ = allPackages_.observe([weak = weakSelf(this)](const auto& results, const auto*,
                                                                       const ErrorRef& error) {
    auto self = weak.lock();
    if (!self) return;
    if (!error) self->allPackages_ = results;
    self->resultsChanged(false, error);
  });
}

void ManageViewController::resultsChanged(bool sources, const ErrorRef& error) {
  if (error) return;  // the rows stay as they were
  // The first delivery may already hold a write made after the page counted at load, so
  // it counts again as a change does. Away from the screen, the counts wait for its next
  // appearance.
  if (view()->window()) rebuildSourcesCache();
  else needsRecount_ = true;
  (sources ? sourcesTableView_ : installedPackagesTableView_)->reloadData();
  animateContentForTable(sources);
  loadingIndicator_->stopAnimating();
}

void ManageViewController::rebuildSourcesCache() {
  needsRecount_ = false;
  sourcesCount_ = static_cast<uint32_t>(allSources_.count());
  // One count at a time: a change while it runs (an import writes sources, a refresh
  // ends) asks for one more count after it, however many changes came meanwhile.
  if (recountRunning_) {
    recountAgain_ = true;
    return;
  }
  recountRunning_ = true;
  performOnBackgroundThread([weak = weakSelf(this), packages = context_.packages] {
    std::map<std::string, std::string> counts;
    // One handle for the whole count: a database that cannot be opened (the process
    // ends) has nothing to count.
    auto db = store::Database::openDefaultDatabase();
    if (db) {
      // One pass over the installed packages, whatever the number of sources.
      auto installed = packages->countsOfInstalledPackagesBySource(**db);
      for (const Value& value : (*db)->objects(KVRSource::className()).valuesForKey("location")) {
        const std::string& location = value.asString();
        auto found = installed.find(location);
        counts[location] = std::to_string(found == installed.end() ? 0 : found->second);
      }
    }
    performOnMainThread([weak, counts = std::move(counts), opened = bool(db)]() mutable {
      auto self = weak.lock();
      if (!self) return;
      self->recountRunning_ = false;
      if (opened) {
        self->dictOfInstalledPackagesCount_ = std::move(counts);
        self->sourcesTableView_->reloadData();
      }
      if (std::exchange(self->recountAgain_, false)) self->rebuildSourcesCache();
    });
  });
}

void ManageViewController::animateContentForTable(bool sources) {
  UIView::animateWithDuration(0.3, 0, UIViewAnimationOptionAllowUserInteraction | UIViewAnimationOptionBeginFromCurrentState,
                              [this, sources] {
                                sizeTable(sources);
                                layoutCards();
                                updateShadows();
                              });
}

void ManageViewController::sizeTable(bool sources) {
  if (sources) {
    sourcesHeight_->setConstant(double(allSources_.count()) * kSourceRowHeight);
    return;
  }
  size_t installed = allPackages_.count();
  installedHeight_->setConstant(installed > kInstalledRows ? kInstalledRows * kInstalledRowHeight
                                                           : double(installed) * kInstalledRowHeight);
}

void ManageViewController::updateShadows() {
  performOnMainThread([weak = weakSelf(this)] {
    auto self = weak.lock();
    if (!self || !self->installedPackagesCard_) return;
    for (UIView* card : {self->installedPackagesCard_.get(), self->sourcesCard_.get()})
      KVCardLook::applyShadow(*card, self->palette());
  });
}

// ---- The time since each index was generated

void ManageViewController::tickTimeSince() {
  if (!isViewLoaded() || !view()->window()) return;
  for (const auto& cell : sourcesTableView_->visibleCells()) {
    auto* row = dynamic_cast<SourcesCell*>(cell.get());
    if (!row) continue;
    std::string date = row->regenDate();
    row->lastRepoRegenLbl()->setText(NSStringKorvaleExtensions::timeSince(date).value_or("never"));
  }
}

// ---- Icons and theme

void ManageViewController::iconChanged(const Notification& notification) {
  const std::string identifier = notification.object.asString();
  for (const auto& cell : installedPackagesTableView_->visibleCells())
    if (auto* row = dynamic_cast<PackageCell*>(cell.get()); row && row->packageIdentifier() == identifier)
      row->updatePackageIcon();
}

void ManageViewController::sourceIconChanged(const Notification& notification) {
  const std::string location = notification.object.asString();
  if (!allSources_.indexOfObjectWhere("location = %@", location)) return;
  for (const auto& cell : sourcesTableView_->visibleCells())
    if (auto* row = dynamic_cast<SourcesCell*>(cell.get()); row && row->sourceLocation() == location)
      if (auto icon = KVPackageIcons::iconForLocation(location)) row->iconView()->setImage(icon);
}

void ManageViewController::scrollViewDidEndDecelerating(UIScrollView&) {
  for (const auto& cell : installedPackagesTableView_->visibleCells())
    if (auto* row = dynamic_cast<PackageCell*>(cell.get()))
      row->iconView()->setImage(KVPackageIcons::iconForIdentifier(row->packageIdentifier()));
}

void ManageViewController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  if (!palette || !isViewLoaded()) return;
  for (UIView* v : {view().get(), static_cast<UIView*>(installedPackagesTableView_.get()),
                    static_cast<UIView*>(sourcesTableView_.get()), installedPackagesCard_.get(), sourcesCard_.get()})
    v->setBackgroundColor(palette->backgroundColor());
  installedPackagesTitle_->setTextColor(palette->primaryTextColor());
  sourcesTitle_->setTextColor(palette->primaryTextColor());
  installedPackagesTableView_->reloadData();
  sourcesTableView_->reloadData();
}
