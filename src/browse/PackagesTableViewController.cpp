#include "browse/PackagesTableViewController.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <set>

#include "browse/KVPackageRows.h"
#include "interface/KVCategorySpecial.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "database/KVIconProvider.h"
#include "database/KVRPackageSearch.h"
#include "database/KVRPackages.h"
#include "database/KVRSource.h"
#include "database/KVRSources.h"
#include "foundation/BlockHelpers.h"
#include "foundation/DateFormatter.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "interface/KVApplicationActions.h"
#include "interface/KVRequestFailureView.h"
#include "interface/KVScreens.h"
#include "interface/PackageCell.h"
#include "uikit/UIAlertController.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UIContextualAction.h"
#include "uikit/UIDevice.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIScreen.h"
#include "uikit/UISwipeGestureRecognizer.h"

namespace {
bool present(const Value& v) { return v.isString() ? !v.stringPtr()->empty() : !v.isNull(); }

// The new packages or new versions grouped by the refresh that brought them, as the
// package list caches hold them at this moment (empty before their first rebuild).
std::shared_ptr<const KVPackageDateGrouping> newPackageDates(KVRPackages& packages, bool newPackages) {
  auto grouping = newPackages ? packages.caches()->newPackages() : packages.caches()->newPackagesVersions();
  return grouping ? grouping : std::make_shared<const KVPackageDateGrouping>();
}
}  // namespace

// ---- Sections

std::string KVPackageListSections::nameSectionKey(const std::string& name) {
  if (name.empty()) return "#";
  int32_t offset = 0;
  UChar32 c = 0;
  U8_NEXT(reinterpret_cast<const uint8_t*>(name.data()), offset, static_cast<int32_t>(name.size()), c);
  if (c < 0) return name.substr(0, 1);
  UChar32 title = u_totitle(c);
  char out[U8_MAX_LENGTH];
  int32_t length = 0;
  UBool error = false;
  U8_APPEND(reinterpret_cast<uint8_t*>(out), length, U8_MAX_LENGTH, title, error);
  return error ? name.substr(0, offset) : std::string(out, length);
}

KVPackageListSections KVPackageListSections::build(const std::string& sortKey, std::vector<Value> identifiers,
                                                   const std::vector<Value>& keys) {
  KVPackageListSections out;
  const size_t count = std::min(identifiers.size(), keys.size());
  // Records of one section mostly come one after another: the section last appended to
  // is kept at hand rather than looked up for every row.
  std::vector<std::string>* current = nullptr;
  std::string currentKey;
  auto append = [&](const std::string& key, Value& identifier) {
    if (!current || key != currentKey) {
      auto [it, inserted] = out.sectionsDictionary.try_emplace(key);
      if (inserted) out.sections.push_back(key);
      current = &it->second;
      currentKey = key;
    }
    std::string* text = identifier.stringPtr();
    current->push_back(text ? std::move(*text) : identifier.asString());
  };
  if (sortKey == "installDate") {
    // Newest first; equal texts are one section.
    static const DateFormatter format("dd-MM-yyyy HH:mm:ss", "");
    std::vector<std::pair<Date, size_t>> dated;
    for (size_t i = 0; i < count; ++i)
      if (const Date* date = keys[i].datePtr()) dated.push_back({*date, i});
    std::stable_sort(dated.begin(), dated.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    for (const auto& [date, i] : dated) append(format.format(date), identifiers[i]);
    return out;
  }
  if (sortKey == "name") {
    // Lower- and upper-case forms of a letter share the capital's section; every new
    // letter is an index title. The key depends on the first character alone, so it is
    // worked out again only when that changes.
    std::string lead, key;
    bool first = true;
    for (size_t i = 0; i < count; ++i) {
      if (keys[i].isNull()) continue;
      const std::string* stored = keys[i].stringPtr();
      const std::string name = stored ? std::string() : keys[i].asString();
      const std::string& text = stored ? *stored : name;
      int32_t length = 0;
      if (!text.empty()) {
        UChar32 c = 0;
        U8_NEXT(reinterpret_cast<const uint8_t*>(text.data()), length, static_cast<int32_t>(text.size()), c);
      }
      if (first || text.compare(0, static_cast<size_t>(length), lead) != 0) {
        first = false;
        lead.assign(text, 0, static_cast<size_t>(length));
        key = nameSectionKey(text);
        if (!out.sectionsDictionary.count(key)) out.indexTitles.push_back(key);
      }
      append(key, identifiers[i]);
    }
    return out;
  }
  // Category, maintainer and source: the records come sorted by the key, so the keys
  // appear in ascending order.
  for (size_t i = 0; i < count; ++i) {
    if (!present(keys[i])) continue;
    if (const std::string* text = keys[i].stringPtr()) append(*text, identifiers[i]);
    else append(keys[i].asString(), identifiers[i]);
  }
  return out;
}

// ---- The screen

PackagesTableViewController::PackagesTableViewController(KVScreenContext context, const KVPackageListKind& kind)
    : context_(std::move(context)),
      category_(kind.category),
      subcategory_(kind.subcategory),
      search_(kind.search),
      sourceLocation_(kind.sourceLocation),
      followedDeveloper_(kind.followedDeveloper) {
  newsSourcePackagesToShow_ = downloadsHistory_ = kind.identifiers;
  if (kind.title) setTitle(*kind.title);
}
PackagesTableViewController::~PackagesTableViewController() {
  if (tableView_) {
    tableView_->setDataSource(nullptr);
    tableView_->setTableDelegate(nullptr);
  }
}

void PackagesTableViewController::loadView() {
  KVPalettedViewController::loadView();
  tableView_ = std::make_shared<UITableView>(UIScreen::mainScreen().bounds(), UITableViewStylePlain);
  view()->addSubview(tableView_);
  failureView_ = std::make_shared<KVRequestFailureView>(UIScreen::mainScreen().bounds());
  view()->addSubview(failureView_);
}

void PackagesTableViewController::viewDidLoad() {
  KVPalettedViewController::viewDidLoad();
  tableView_->setDataSource(this);
  tableView_->setTableDelegate(this);
  tableView_->setRowHeight(70);
  tableView_->registerNib("PackageCell", "cell");
  auto swipe = std::make_shared<UISwipeGestureRecognizer>([this](UIGestureRecognizer&) {
    if (navigationController()) navigationController()->popViewControllerAnimated(true);
  });
  swipe->setDirection(UISwipeGestureRecognizerDirectionRight);
  view()->addGestureRecognizer(swipe);
  isScrolling_ = false;
  needCacheRebuild_ = true;
  if (category_ == kCategorySpecial_SileoPackages) askPurchases();
}

void PackagesTableViewController::registerScreenNotifications() {
  observe(KVRSourceUpdatedNotification, [this](const Notification& n) { sourceRefreshed(n); });
  observe(KVRPackageInfoIconChangedNotification, [this](const Notification& n) { iconChanged(n); });
}

void PackagesTableViewController::viewWillAppear(bool animated) {
  KVPalettedViewController::viewWillAppear(animated);
  tableView_->setBackgroundColor(UIColor::clearColor());
  rebuildCache();
}

void PackagesTableViewController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  if (!palette || !isViewLoaded()) return;
  view()->setBackgroundColor(palette->backgroundColor());
  if (tableView_) tableView_->setTintColor(palette->tintColor());
}

bool PackagesTableViewController::isNewKind() const {
  return category_ == kCategorySpecial_NewPackages || category_ == kCategorySpecial_NewPackagesVersions;
}

std::string PackagesTableViewController::sortPropertyForPrefs() const {
  std::string sort = QuillbarkPersistentPreferences::sharedInstance().stringForKey("SortInstalledPackagesBy").value_or("Name");
  if (sort == "Category") return "category";
  if (sort == "Maintainer") return "maintainer";
  if (sort == "Source") return "sourceLocation";
  if (sort == "InstallDate" && category_ == kCategorySpecial_InstalledPackages) return "installDate";
  return "name";
}

void PackagesTableViewController::rebuildCache() {
  if (isScrolling_) return;  // runs when the scrolling ends
  needCacheRebuild_ = false;
  if (isNewKind()) {
    navigationItem().setRightBarButtonItem(nullptr);
  } else {
    navigationItem().setRightBarButtonItem(UIBarButtonItem::itemWithImage(
        UIImage::imageNamed("Sort"), UIBarButtonItemStylePlain, [this](UIBarButtonItem& item) { sortPackages(&item); }));
  }
  std::string sortKey = sortPropertyForPrefs();
  runQuery(sortKey);
  if (!isNewKind()) rebuildSectionsCacheForSortCriteria(sortKey);
  if (tableView_) tableView_->reloadData();
}

void PackagesTableViewController::runQuery(const std::string& sortKey) {
  const bool filterIncompatible = !QuillbarkPersistentPreferences::sharedInstance().boolForKey("ShowIncompatiblePackages");
  const std::string compatible = filterIncompatible ? " AND tweakCompatibleStatus != 1" : "";
  const std::string notPseudo = "NOT name BEGINSWITH[cd] 'cy+'";
  using Results = store::TypedResults<KVRPackage>;
  auto identifiers = [&](const std::vector<std::string>& list) {
    // Bound as one list: a quote or a query word in an identifier stays data.
    if (list.empty()) return Results();
    Value::Array values(list.begin(), list.end());
    return KVRPackage::objectsWhere("identifier IN[c] %@", Value(values));
  };
  Results results;
  if (category_ == kCategorySpecial_SourcePackages && subcategory_ == "All Packages") {
    results = KVRPackage::objectsWhere("sourceLocation = %@" + compatible, sourceLocation_.value_or(""));
  } else if (category_ == kCategorySpecial_SourcePackages) {
    results = KVRPackage::objectsWhere("sourceLocation = %@ AND category = %@" + compatible, sourceLocation_.value_or(""),
                                       subcategory_.value_or(""));
  } else if (subcategory_) {
    results = KVRPackage::objectsWhere("category = %@ AND subcategory = %@" + compatible, category_, *subcategory_);
  } else if (category_ == kCategorySpecial_AllPackages) {
    results = filterIncompatible ? KVRPackage::objectsWhere("tweakCompatibleStatus != 1") : KVRPackage::allObjects();
  } else if (category_ == kCategorySpecial_InstalledPackages) {
    results = KVRPackage::objectsWhere("isInstalled = 1 AND " + notPseudo);
  } else if (category_ == kCategorySpecial_UpdatedPackages) {
    results = KVRPackage::objectsWhere("isUpdated = 1 AND isHeld = 0");
  } else if (isNewKind()) {
    dates_ = newPackageDates(*context_.packages, category_ == kCategorySpecial_NewPackages);
    packages_ = Results();
    return;
  } else if (category_ == kCategorySpecial_Search) {
    packages_ = KVRPackageSearch::packagesMatching(search_.value_or(""), KVRPackageSearch::kFuzzy, !filterIncompatible,
                                                   sortKey);
    return;
  } else if (category_ == kCategorySpecial_SileoPackages) {
    results = sourceLocation_ ? KVRPackage::objectsWhere("isPaidThroughSileo = 1 AND sourceLocation = %@", *sourceLocation_)
                              : KVRPackage::objectsWhere("isPaidThroughSileo = 1");
  } else if (category_ == kCategorySpecial_NewPackagesFromFollowedDeveloper) {
    results = identifiers(followedDeveloper_ ? followedDeveloper_->developerNewPackagesIdentifiers()
                                             : std::vector<std::string>());
  } else if (category_ == kCategorySpecial_NewPackagesFromFollowedSource) {
    results = identifiers(newsSourcePackagesToShow_);
  } else if (category_ == kCategorySpecial_DownloadsHistory) {
    results = identifiers(downloadsHistory_);
  }
  packages_ = results.sorted(sortKey, true);
}

void PackagesTableViewController::rebuildSectionsCacheForSortCriteria(const std::string& sortKey) {
  if (!packages_.results().isValid()) {  // a kind with nothing to query
    sections_ = {};
    return;
  }
  // The identifiers and keys come with the query's own rows, in one pass.
  auto values = packages_.valuesForKeys({"identifier", sortKey});
  sections_ = KVPackageListSections::build(sortKey, std::move(values[0]), values[1]);
}

// ---- Rows

const std::vector<std::string>* PackagesTableViewController::rowsOfSection(long section) const {
  static const std::vector<std::string> none;
  if (isNewKind()) {
    if (!dates_ || dates_->dates.empty()) return &none;
    size_t index = std::min<size_t>(section < 0 ? 0 : section, dates_->dates.size() - 1);
    auto it = dates_->identifiersByDate.find(dates_->dates[index]);
    return it == dates_->identifiersByDate.end() ? &none : &it->second;
  }
  if (sections_.sections.empty()) return &none;
  size_t index = std::min<size_t>(section < 0 ? 0 : section, sections_.sections.size() - 1);
  auto it = sections_.sectionsDictionary.find(sections_.sections[index]);
  return it == sections_.sectionsDictionary.end() ? &none : &it->second;
}

std::optional<std::string> PackagesTableViewController::identifierAtIndexPath(const NSIndexPath& path) const {
  const auto* rows = rowsOfSection(path.section);
  if (path.row < 0 || static_cast<size_t>(path.row) >= rows->size()) return std::nullopt;
  return (*rows)[path.row];
}

long PackagesTableViewController::numberOfSectionsInTableView(UITableView&) {
  if (isNewKind()) return dates_ ? static_cast<long>(dates_->dates.size()) : 0;
  return static_cast<long>(sections_.sections.size());
}

long PackagesTableViewController::tableViewNumberOfRowsInSection(UITableView&, long section) {
  return static_cast<long>(rowsOfSection(section)->size());
}

std::optional<std::string> PackagesTableViewController::tableViewTitleForHeaderInSection(UITableView&, long section) {
  if (isNewKind()) {
    if (!dates_ || section < 0 || static_cast<size_t>(section) >= dates_->dates.size()) return std::nullopt;
    static const DateFormatter stored("yyyy-MM-dd HH:mm", "");
    static const DateFormatter shown("EEEE, MMMM d, y 'at' h:mm a", "");
    auto date = stored.parse(dates_->dates[section]);
    return date ? shown.format(*date) : dates_->dates[section];
  }
  if (section < 0 || static_cast<size_t>(section) >= sections_.sections.size()) return std::nullopt;
  return sections_.sections[section];
}

std::vector<std::string> PackagesTableViewController::sectionIndexTitlesForTableView(UITableView&) {
  return sections_.indexTitles;
}

std::shared_ptr<UITableViewCell> PackagesTableViewController::tableViewCellForRowAtIndexPath(UITableView& table,
                                                                                            const NSIndexPath& path) {
  auto cell = std::dynamic_pointer_cast<PackageCell>(table.dequeueReusableCellWithIdentifier("cell", path));
  if (!cell) return std::make_shared<UITableViewCell>();
  // While the list scrolls away from its top, only icons already cached are shown.
  KVPackageRows::fill(*cell, identifierAtIndexPath(path).value_or(""), palette(),
                      table.contentOffset().y == 0 || !isScrolling_,
                      path.row == static_cast<long>(rowsOfSection(path.section)->size()) - 1);
  return cell;
}

void PackagesTableViewController::tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath& path) {
  table.deselectRowAtIndexPath(path, true);
  auto package = KVRPackage::objectForPrimaryKey(identifierAtIndexPath(path).value_or(""));
  if (!package || !navigationController()) return;
  auto screen = context_.screens->package(package->identifier());
  screen->setTitle(package->name().value_or(package->identifier()));
  lastPushed_ = screen;
  navigationController()->pushViewController(screen, true);
}

std::vector<std::shared_ptr<UITableViewRowAction>> PackagesTableViewController::tableViewEditActionsForRowAtIndexPath(
    UITableView& table, const NSIndexPath& path) {
  return KVPackageRows::swipeActions(context_, table, identifierAtIndexPath(path).value_or(""));
}

// ---- Sorting

void PackagesTableViewController::sortPackages(UIBarButtonItem* sender) {
  auto sheet = UIAlertController::alertControllerWithTitle(NSLocalizedString("Sort Installed Packages"),
                                                           NSLocalizedString("How do you want to sort your installed packages:"),
                                                           UIAlertControllerStyleActionSheet);
  std::vector<std::pair<const char*, const char*>> choices = {{"Category", "Category"}};
  if (category_ == kCategorySpecial_InstalledPackages) choices.push_back({"Install date", "InstallDate"});
  choices.insert(choices.end(), {{"Maintainer", "Maintainer"}, {"Name", "Name"}, {"Source", "Source"}});
  std::weak_ptr<UIViewController> weak = weak_from_this();
  for (auto [title, value] : choices) {
    sheet->addAction(UIAlertAction::actionWithTitle(NSLocalizedString(title), UIAlertActionStyleDefault,
                                                    [weak, value = std::string(value)](UIAlertAction&) {
                                                      QuillbarkPersistentPreferences::sharedInstance().setObject(
                                                          Value(value), "SortInstalledPackagesBy");
                                                      if (auto self = std::static_pointer_cast<PackagesTableViewController>(weak.lock()))
                                                        self->rebuildCache();
                                                    }));
  }
  sheet->addAction(UIAlertAction::actionWithTitle(NSLocalizedString("Cancel"), UIAlertActionStyleCancel));
  context_.actions->presentViewController(sheet, sender);
}

// ---- Notifications and scrolling

void PackagesTableViewController::sourceRefreshed(const Notification&) {
  if (!isViewLoaded() || !view()->window()) return;  // rebuilt when shown again
  needCacheRebuild_ = true;
  rebuildCache();
}

void PackagesTableViewController::iconChanged(const Notification& notification) {
  std::string identifier = notification.object.asString();
  performOnMainThread([weak = weak_from_this(), identifier] {
    auto self = std::static_pointer_cast<PackagesTableViewController>(weak.lock());
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

void PackagesTableViewController::updateUI() {
  if (tableView_) tableView_->reloadData();
}

void PackagesTableViewController::scrollViewWillBeginDragging(UIScrollView&) { isScrolling_ = true; }

void PackagesTableViewController::scrollViewDidEndDragging(UIScrollView&, bool willDecelerate) {
  // A drag that stops without momentum ends the scrolling too; otherwise a rebuild asked
  // for during it would wait for a deceleration that never comes.
  if (!willDecelerate) scrollingEnded();
}

void PackagesTableViewController::scrollViewDidEndDecelerating(UIScrollView&) { scrollingEnded(); }

void PackagesTableViewController::scrollingEnded() {
  KVPackageRows::showRealIcons(*tableView_);
  isScrolling_ = false;
  if (needCacheRebuild_) rebuildCache();
}

// ---- The source's pages

void PackagesTableViewController::sourceInfo() {
  if (!sourceLocation_) return;
  presentViewController(KVScreens::inNavigation(context_.screens->sourcePage(sourceLocation_, true)), true);
}

void PackagesTableViewController::seeSileoPurchasedPackages() {
  if (!sourceLocation_ || !navigationController()) return;
  lastPushed_ = context_.screens->packageList(KVPackageListKind::purchasedPackages(*sourceLocation_));
  navigationController()->pushViewController(lastPushed_, true);
}
