// The search tab's page: the bar and its scope, the local query, the service searches,
// history and trending. Rows and their actions: SearchViewControllerRows.cpp.
#include "sources/SearchViewController.h"

#include <algorithm>

#include "account/KVSearchDeveloper.h"
#include "account/KVSearchRepositories.h"
#include "account/KVStatistics.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "database/KVIconProvider.h"
#include "database/KVRPackageSearch.h"
#include "database/KVRPackages.h"
#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/WeakSelf.h"
#include "interface/KVCategorySpecial.h"
#include "interface/KVScreens.h"
#include "browse/KVCardLook.h"
#include "sources/KVCards.h"
#include "store/Store.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UIButton.h"
#include "uikit/UILabel.h"
#include "uikit/UILongPressGestureRecognizer.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIProgressView.h"
#include "uikit/UIScreen.h"
#include "uikit/UIScrollView.h"
#include "uikit/UISegmentedControl.h"
#include "uikit/UITextField.h"
#include "uikit/UIViewControllerTransitionCoordinator.h"

namespace {
constexpr double kSearchBarHeight = 56;

// The text's length as the bar counts it: in UTF-16 units.
size_t lengthOf(const std::string& text) {
  size_t units = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if ((c & 0xC0) == 0x80) continue;  // a continuation byte
    units += c >= 0xF0 ? 2 : 1;
  }
  return units;
}
}  // namespace

SearchViewController::SearchViewController(KVScreenContext context) : context_(std::move(context)) {
  setTitle(NSLocalizedString("Search"));
}

SearchViewController::~SearchViewController() {
  cancelPendingQuery();
  for (UITableView* table : {historyTable_.get(), trendingTable_.get(), packagesTable_.get(), developersTable_.get(),
                             repositoriesTable_.get()}) {
    if (!table) continue;
    table->setDataSource(nullptr);
    table->setTableDelegate(nullptr);
  }
  if (searchBar_) searchBar_->setDelegate(nullptr);
}

// ---- The page

void SearchViewController::loadView() {
  KVPalettedViewController::loadView();
  const CGRect bounds = UIScreen::mainScreen().bounds();
  searchBar_ = std::make_shared<UISearchBar>();
  searchBar_->setPlaceholder(NSLocalizedString("Packages, Developers, Repositories"));
  view()->addSubview(searchBar_);
  tasksProgressBar_ = std::make_shared<UIProgressView>(UIProgressViewStyleDefault);
  view()->addSubview(tasksProgressBar_);
  statsScrollView_ = std::make_shared<UIScrollView>(bounds);
  searchScrollView_ = std::make_shared<UIScrollView>(bounds);
  view()->addSubview(statsScrollView_);
  view()->addSubview(searchScrollView_);
  KVCards::makeCard(*statsScrollView_, NSLocalizedString("Recent"), historyCard_, historyTitle_, historyTable_,
                    historyHeight_);
  KVCards::makeCard(*statsScrollView_, NSLocalizedString("Trending"), trendingCard_, trendingTitle_, trendingTable_,
                    trendingHeight_);
  KVCards::makeCard(*searchScrollView_, NSLocalizedString("Packages"), packagesCard_, packagesTitle_, packagesTable_,
                    packagesHeight_);
  seeAllPackagesBtn_ = KVCards::makeTitleButton(*packagesCard_, NSLocalizedString("See All"));
  seeAllPackagesBtn_->addTarget(this, [this](UIControl&) { seeAllPackages(); }, UIControlEventTouchUpInside);
  KVCards::makeCard(*searchScrollView_, NSLocalizedString("Developers"), developersCard_, developersTitle_,
                    developersTable_, developersHeight_);
  KVCards::makeCard(*searchScrollView_, NSLocalizedString("Repositories"), repositoriesCard_, repositoriesTitle_,
                    repositoriesTable_, repositoriesHeight_);
  searchQueryControl_ = std::make_shared<UISegmentedControl>(
      std::vector<std::string>{NSLocalizedString("Exact"), NSLocalizedString("Fuzzy")});
  searchQueryControl_->addTarget(this, [this](UIControl& control) { segmentClicked(static_cast<UISegmentedControl&>(control)); },
                                 UIControlEventValueChanged);
  layoutCards();
}

void SearchViewController::layoutCards() {
  if (!searchBar_) return;
  const CGRect bounds = view()->bounds();
  // The bar stands below the navigation bar, the cards below it.
  const double top = view()->safeAreaInsets().top;
  searchBar_->setFrame(CGRect::make(0, top, bounds.width(), kSearchBarHeight));
  tasksProgressBar_->setFrame(CGRect::make(0, top + kSearchBarHeight, bounds.width(), 2));
  const CGRect below =
      CGRect::make(0, top + kSearchBarHeight, bounds.width(), std::max(0.0, bounds.height() - top - kSearchBarHeight));
  statsScrollView_->setFrame(below);
  searchScrollView_->setFrame(below);
  double y = KVCards::place(*historyCard_, *historyTitle_, *historyTable_, *historyHeight_, KVCards::kMargin, bounds.width());
  y = KVCards::place(*trendingCard_, *trendingTitle_, *trendingTable_, *trendingHeight_, y, bounds.width());
  statsScrollView_->setContentSize(CGSize{bounds.width(), y});
  y = KVCards::place(*packagesCard_, *packagesTitle_, *packagesTable_, *packagesHeight_, KVCards::kMargin, bounds.width());
  y = KVCards::place(*developersCard_, *developersTitle_, *developersTable_, *developersHeight_, y, bounds.width());
  y = KVCards::place(*repositoriesCard_, *repositoriesTitle_, *repositoriesTable_, *repositoriesHeight_, y, bounds.width());
  searchScrollView_->setContentSize(CGSize{bounds.width(), y});
}

void SearchViewController::viewDidLoad() {
  KVPalettedViewController::viewDidLoad();
  setTitle(NSLocalizedString("Search"));
  tasksProgressBar_->setHidden(true);
  const int64_t stored = QuillbarkPersistentPreferences::sharedInstance().integerForKey("SearchQueryOption");
  searchQuery_ = stored < 0 ? 2 : static_cast<unsigned long>(stored);  // missing: 0
  searchQueryControl_->setSelectedSegmentIndex(static_cast<long>(searchQuery_));
  if (palette()) searchQueryControl_->setTintColor(palette()->tintColor());
  showResults(false);
  historyTable_->registerClass<UITableViewCell>("genericCell");  // the interface file "GenericCell"
  trendingTable_->registerClass<UITableViewCell>("genericCell");
  packagesTable_->registerNib("PackageCell", "cell");
  developersTable_->registerNib("SearchCell", "searchCell");
  repositoriesTable_->registerNib("SearchCell", "searchCell");
  for (UITableView* table : {historyTable_.get(), trendingTable_.get(), packagesTable_.get(), developersTable_.get(),
                             repositoriesTable_.get()}) {
    table->setDataSource(this);
    table->setTableDelegate(this);
  }
  seeAllPackagesBtn_->setHidden(true);
  statsScrollView_->setAlwaysBounceVertical(true);
  auto press = std::make_shared<UILongPressGestureRecognizer>([this](UIGestureRecognizer& r) { handleLongPressGesture(r); });
  press->setMinimumPressDuration(0.1);
  packagesCard_->addGestureRecognizer(press);
  iconObservation_ = NotificationCenter::defaultCenter().addObserver(
      KVRPackageInfoIconChangedNotification, &DispatchQueue::mainQueue(), [weak = weakSelf(this)](const Notification& n) {
        if (auto self = weak.lock()) self->iconChanged(n);
      });
  searchHistory_ = KVRSearchHistory::allObjects().sorted("date", false);
}

void SearchViewController::viewWillAppear(bool animated) {
  KVPalettedViewController::viewWillAppear(animated);
  searchBar_->setDelegate(this);
  searchBar_->setBackgroundColor(UIColor::clearColor());
  for (UITableView* table : {historyTable_.get(), trendingTable_.get(), packagesTable_.get(), developersTable_.get(),
                             repositoriesTable_.get()}) {
    table->setBackgroundColor(UIColor::clearColor());
    if (table != historyTable_.get() && table != trendingTable_.get()) table->setSeparatorColor(UIColor::clearColor());
    table->reloadData();
  }
  auto& preferences = QuillbarkPersistentPreferences::sharedInstance();
  const std::string developer = preferences.stringForKey("SearchDeveloper").value_or("");
  if (!developer.empty()) {
    // Another screen asked for a developer: searched once, then forgotten.
    showResults(true);
    setSearch(developer);
    recordSearch(developer, true);
    preferences.setObject(Value(std::string()), "SearchDeveloper");
    return;
  }
  fetchTrending();
  reloadHistory();
  animate([this] {
    setPackagesCardHeight();
    developersHeight_->setConstant(double(developersArray_.size()) * 56);
    repositoriesHeight_->setConstant(double(repositoriesArray_.size()) * 56);
  });
}

void SearchViewController::viewWillDisappear(bool animated) {
  KVPalettedViewController::viewWillDisappear(animated);
  searchBar_->resignFirstResponder();
}

void SearchViewController::viewDidLayoutSubviews() {
  KVPalettedViewController::viewDidLayoutSubviews();
  layoutCards();
  updateShadows();
}

void SearchViewController::viewWillTransitionToSize(CGSize size, UIViewControllerTransitionCoordinator& coordinator) {
  KVPalettedViewController::viewWillTransitionToSize(size, coordinator);
  coordinator.animateAlongsideTransition([weak = weakSelf(this)] {
    if (auto self = weak.lock()) self->updateShadows();
  });
}

void SearchViewController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  if (!palette || !isViewLoaded()) return;
  for (UIView* v : {view().get(), historyCard_.get(), trendingCard_.get(), packagesCard_.get(), developersCard_.get(),
                    repositoriesCard_.get()})
    v->setBackgroundColor(palette->backgroundColor());
  for (UILabel* title : {historyTitle_.get(), trendingTitle_.get(), packagesTitle_.get(), developersTitle_.get(),
                         repositoriesTitle_.get()})
    title->setTextColor(palette->primaryTextColor());
  searchBar_->searchTextField()->setTextColor(palette->primaryTextColor());
  searchBar_->setKeyboardAppearance(static_cast<UIKeyboardAppearance>(palette->keyboardAppearance()));
}

void SearchViewController::showResults(bool results) {
  statsScrollView_->setHidden(results);
  searchScrollView_->setHidden(!results);
}

void SearchViewController::animate(std::function<void()> change) {
  performOnMainThread([weak = weakSelf(this), change = std::move(change)] {
    auto self = weak.lock();
    if (!self) return;
    UIView::animateWithDuration(0.3, [&] {
      change();
      self->layoutCards();
      self->updateShadows();
    });
  });
}

void SearchViewController::updateShadows() {
  performOnMainThread([weak = weakSelf(this)] {
    auto self = weak.lock();
    if (!self || !self->historyCard_) return;
    for (UIView* card : {self->historyCard_.get(), self->trendingCard_.get(), self->packagesCard_.get(),
                         self->developersCard_.get(), self->repositoriesCard_.get()})
      KVCardLook::applyShadow(*card, self->palette());
  });
}

void SearchViewController::setPackagesCardHeight() {
  const size_t count = packagesCount();
  packagesHeight_->setConstant(count >= 5 ? 350 : double(count) * 70);
}

// ---- Searching

namespace {
bool showsIncompatiblePackages() {
  return QuillbarkPersistentPreferences::sharedInstance().boolForKey("ShowIncompatiblePackages");
}
}  // namespace

std::optional<std::string> SearchViewController::queryStringForSearchTextforMaintainer(bool maintainer) const {
  if (searchQuery_ > 1) return std::nullopt;
  return KVRPackageSearch::predicateFor(static_cast<int>(searchQuery_), maintainer, showsIncompatiblePackages());
}

void SearchViewController::runLocalQuery(const std::string& text) {
  if (searchQuery_ > 1) {
    packages_.reset();
  } else {
    // Names, else maintainers: the two are never merged.
    packages_ = KVRPackageSearch::packagesMatching(text, static_cast<int>(searchQuery_), showsIncompatiblePackages());
  }
  const size_t count = packagesCount();
  packagesTable_->reloadData();
  animate([this, count] {
    setPackagesCardHeight();
    packagesTitle_->setText(NSLocalizedFormat(count == 1 ? "%lu Package" : "%lu Packages", {std::to_string(count)}));
    seeAllPackagesBtn_->setHidden(count == 0);
  });
}

void SearchViewController::updatePackagesSearch() {
  pendingQuery_ = 0;
  // No text of three characters or more: nothing to look for.
  if (!searchText_) return;
  runLocalQuery(*searchText_);
}

void SearchViewController::cancelPendingQuery() {
  if (pendingQuery_) RunLoop::main().cancelTimer(pendingQuery_);
  pendingQuery_ = 0;
}

void SearchViewController::startServiceSearches(const std::string& text) {
  // A reply is shown only while its text is still the one searched: an earlier, slower
  // reply never replaces a later one. A failed search shows nothing.
  auto current = [](const std::shared_ptr<SearchViewController>& self, const std::string& asked) {
    return self && self->searchText_ == asked;
  };
  KVSearchDeveloper::instance().searchDeveloperProfiles(
      text, [weak = weakSelf(this), text, current](std::optional<std::vector<KVDeveloperProfile>> profiles) {
        performOnMainThread([weak, text, current, profiles = std::move(profiles)]() mutable {
          auto self = weak.lock();
          if (!current(self, text)) return;
          self->developersArray_ = profiles ? std::move(*profiles) : std::vector<KVDeveloperProfile>{};
          self->developersTable_->reloadData();
          self->animate([s = self.get()] { s->developersHeight_->setConstant(double(s->developersArray_.size()) * 56); });
        });
      });
  KVSearchRepositories::instance().searchRepositoryEntries(
      text, [weak = weakSelf(this), text, current](std::optional<std::vector<KVSearchedRepo>> entries) {
        performOnMainThread([weak, text, current, entries = std::move(entries)]() mutable {
          auto self = weak.lock();
          if (!current(self, text)) return;
          self->repositoriesArray_ = entries ? std::move(*entries) : std::vector<KVSearchedRepo>{};
          self->repositoriesTable_->reloadData();
          self->animate(
              [s = self.get()] { s->repositoriesHeight_->setConstant(double(s->repositoriesArray_.size()) * 56); });
        });
      });
}

void SearchViewController::setSearch(const std::string& text) {
  searchBar_->setText(text);
  cancelPendingQuery();
  searchText_ = text;
  runLocalQuery(text);
  performOnBackgroundThread([weak = weakSelf(this), text] {
    performOnMainThread([weak, text] {
      if (auto self = weak.lock()) self->startServiceSearches(text);
    });
  });
}

void SearchViewController::clearResults() {
  cancelPendingQuery();
  packages_.reset();
  searchText_.reset();
  developersArray_.clear();
  repositoriesArray_.clear();
  for (UITableView* table : {packagesTable_.get(), developersTable_.get(), repositoriesTable_.get()}) table->reloadData();
  animate([this] {
    packagesTitle_->setText(NSLocalizedString("Packages"));
    seeAllPackagesBtn_->setHidden(true);
    packagesHeight_->setConstant(0);
    developersHeight_->setConstant(0);
    repositoriesHeight_->setConstant(0);
  });
}

void SearchViewController::searchBarTextDidChange(UISearchBar&, const std::string& text) {
  if (lengthOf(text) < kMinimumLength) {
    clearResults();
    return;
  }
  searchText_ = text;
  cancelPendingQuery();
  pendingQuery_ = RunLoop::main().addTimer(kDebounce, [weak = weakSelf(this)] {
    if (auto self = weak.lock()) self->updatePackagesSearch();
  });
  startServiceSearches(text);
}

void SearchViewController::segmentClicked(UISegmentedControl& control) {
  const long index = control.selectedSegmentIndex();
  QuillbarkPersistentPreferences::sharedInstance().setObject(Value(static_cast<int64_t>(index)), "SearchQueryOption");
  searchQuery_ = static_cast<unsigned long>(index);
  updatePackagesSearch();
}

void SearchViewController::recordSearch(const std::string& text, bool onMainThread) {
  auto write = [text] {
    auto db = store::Database::openDefaultDatabase();
    ErrorRef error = db ? (*db)->write([&] {
      KVRSearchHistory record;
      record.setDate(Date::now());
      record.setSearch(text);
      (*db)->add(record.toObject());
    })
                        : db.error();
    if (error) KVLog("The search could not be kept: %s", error->localizedDescription().c_str());
  };
  if (onMainThread) write();
  else performOnDefaultThread(write);
  KVStatistics::instance().postSearchStatistic(text, [](std::optional<std::string>) {});
}

void SearchViewController::searchBarSearchButtonClicked(UISearchBar& bar) {
  bar.resignFirstResponder();
  if (lengthOf(bar.text()) >= kMinimumLength) recordSearch(bar.text(), false);
}

void SearchViewController::searchBarCancelButtonClicked(UISearchBar& bar) {
  bar.setText("");
  clearResults();
  performOnMainThread([weak = weakSelf(this)] {
    if (auto self = weak.lock()) self->searchBar_->resignFirstResponder();
  });
}

bool SearchViewController::searchBarShouldBeginEditing(UISearchBar& bar) {
  savedLeftItems_ = navigationItem().leftBarButtonItems();
  savedRightItems_ = navigationItem().rightBarButtonItems();
  navigationItem().setLeftBarButtonItems({});
  navigationItem().setRightBarButtonItems({});
  for (size_t i = 0; i < searchQueryControl_->numberOfSegments(); ++i)
    searchQueryControl_->setWidth(0.475 * view()->bounds().width(), i);
  navigationItem().setTitleView(searchQueryControl_);
  bar.setShowsCancelButton(true, true);
  showResults(true);
  return true;
}

bool SearchViewController::searchBarShouldEndEditing(UISearchBar& bar) {
  navigationItem().setTitleView(nullptr);
  navigationItem().setLeftBarButtonItems(savedLeftItems_);
  navigationItem().setRightBarButtonItems(savedRightItems_);
  bar.setShowsCancelButton(false, true);
  if (bar.text().empty()) {
    showResults(false);
    reloadHistory();
    fetchTrending();
  }
  return true;
}

void SearchViewController::reloadHistory() {
  searchHistory_ = KVRSearchHistory::allObjects().sorted("date", false);
  historyTable_->reloadData();
  animate([this] {
    const size_t stored = searchHistory_.count();
    historyHeight_->setConstant(stored < 4 ? double(stored) * 44 : 132);
  });
}

void SearchViewController::fetchTrending() {
  KVStatistics::instance().retrieveSearchesTrendingWithCompletionHandler(
      [weak = weakSelf(this)](std::optional<std::string> status) {
        if (status != std::optional<std::string>("Success")) return;  // the card stays as it was
        auto trending = KVStatistics::instance().searchesTrending().value_or(std::vector<std::string>{});
        performOnMainThread([weak, trending = std::move(trending)]() mutable {
          auto self = weak.lock();
          if (!self) return;
          self->searchesTrending_ = std::move(trending);
          self->trendingTable_->reloadData();
          self->animate([s = self.get()] { s->trendingHeight_->setConstant(double(s->searchesTrending_.size()) * 44); });
        });
      });
}

void SearchViewController::seeAllPackages() {
  KVPackageListKind kind = KVPackageListKind::ofCategory(kCategorySpecial_Search);
  kind.search = searchBar_->text();
  kind.title = NSLocalizedString("Search");
  push(context_.screens->packageList(kind));
}

void SearchViewController::followStateChanged() { developersTable_->reloadData(); }

void SearchViewController::push(std::shared_ptr<UIViewController> screen) {
  if (!navigationController() || !screen) return;
  lastPushed_ = screen;
  navigationController()->pushViewController(std::move(screen), true);
}
