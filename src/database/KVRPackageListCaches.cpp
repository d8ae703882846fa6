#include "database/KVRPackageListCaches.h"

#include "core/KVConnections.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "database/KVRPackage.h"
#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/NotificationCenter.h"
#include "store/Store.h"

namespace {

bool showIncompatible() {
  return QuillbarkPersistentPreferences::sharedInstance().boolForKey("ShowIncompatiblePackages");
}

// The distinct non-empty texts of `key` among the results, in their order.
std::vector<std::string> presentTexts(const std::vector<Value>& values) {
  std::vector<std::string> texts;
  for (const auto& value : values)
    if (value.isString() && !value.asString().empty()) texts.push_back(value.asString());
  return texts;
}

std::vector<std::string> identifiers(const store::TypedResults<KVRPackage>& members) {
  return presentTexts(members.valuesForKey("identifier"));
}

// The packages of the new lists: every one, or those not rated incompatible while
// "ShowIncompatiblePackages" is off; `condition` (may be empty) narrows them.
std::string selectionOf(const std::string& condition) {
  std::string selection = condition;
  if (!showIncompatible()) selection += std::string(selection.empty() ? "" : " AND ") + "tweakCompatibleStatus != 1";
  return selection;
}

// The distinct non-empty refresh dates of the selection's packages, newest first.
std::vector<std::string> refreshDates(const std::string& selection) {
  auto chosen = selection.empty() ? KVRPackage::allObjects() : KVRPackage::objectsWhere(selection);
  return presentTexts(chosen.distinct({"updatedDateStr"}).sorted("updatedDateStr", false).valuesForKey("updatedDateStr"));
}

// One grouping by refresh date: `condition` (may be empty) selects the packages.
KVPackageDateGrouping group(const std::string& condition, bool byName) {
  const std::string selection = selectionOf(condition);
  KVPackageDateGrouping grouping;
  grouping.dates = refreshDates(selection);
  const std::string memberSelection = "updatedDateStr = %@" + (selection.empty() ? "" : " AND " + selection);
  for (const auto& date : grouping.dates) {
    auto members = KVRPackage::objectsWhere(memberSelection, date);
    if (byName) members = members.sorted({{"updatedDateStr", false}, {"name", true}});
    grouping.identifiersByDate[date] = identifiers(members);
  }
  return grouping;
}

// The number of members of the new packages' newest date, as their grouping would hold
// them (identifiers are never empty, but the grouping leaves an empty one out).
size_t newestRefreshCount() {
  const std::string selection = selectionOf("");
  const std::vector<std::string> dates = refreshDates(selection);
  if (dates.empty()) return 0;
  return KVRPackage::objectsWhere("updatedDateStr = %@ AND identifier != ''" + (selection.empty() ? "" : " AND " + selection),
                                  dates.front())
      .count();
}

}  // namespace

std::shared_ptr<const std::vector<std::string>> KVRPackageListCaches::arrayOfPackagesCategories() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return categories_;
}

KVRPackageListCaches::BuiltFrom KVRPackageListCaches::BuiltFrom::now() {
  auto db = store::Database::defaultDatabase();
  return {db, db ? db->commitsChanging(KVRPackage::className()) : std::nullopt, ::showIncompatible()};
}

std::shared_ptr<const KVPackageDateGrouping> KVRPackageListCaches::current(Grouping& grouping, bool always,
                                                                           KVPackageDateGrouping (*build)()) {
  std::lock_guard<std::mutex> rebuild(grouping.rebuild);
  // Read before the packages: a commit landing meanwhile makes the next ask rebuild.
  BuiltFrom from = BuiltFrom::now();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!always && grouping.snapshot && from.commits && grouping.builtFrom && grouping.builtFrom->sameAs(from))
      return grouping.snapshot;
  }
  auto built = std::make_shared<const KVPackageDateGrouping>(build());
  std::lock_guard<std::mutex> lock(mutex_);
  grouping.snapshot = built;
  grouping.builtFrom = std::move(from);
  return built;
}

std::shared_ptr<const KVPackageDateGrouping> KVRPackageListCaches::newPackages() {
  return current(newPackages_, false, buildNewPackages);
}

std::shared_ptr<const KVPackageDateGrouping> KVRPackageListCaches::newPackagesVersions() {
  return current(newPackagesVersions_, false, buildNewPackagesVersions);
}

KVPackageDateGrouping KVRPackageListCaches::buildNewPackages() { return group("", true); }

KVPackageDateGrouping KVRPackageListCaches::buildNewPackagesVersions() { return group("hasNewVersion = 1", false); }

void KVRPackageListCaches::rebuildDictOfNewPackages() { current(newPackages_, true, buildNewPackages); }

void KVRPackageListCaches::rebuildDictOfNewPackagesVersions() {
  current(newPackagesVersions_, true, buildNewPackagesVersions);
}

void KVRPackageListCaches::rebuildPackagesCategoriesCache() {
  performOnDefaultThread([weak = weak_from_this()] {
    if (auto self = weak.lock()) self->buildCategories();
  });
}

void KVRPackageListCaches::buildCategories() {
  // Rebuilds follow one another closely after a refresh (the index applied, the status
  // import, the cache task): one that finds the packages as the last one read them takes
  // its result, and one waiting for another then finds what that one read.
  std::lock_guard<std::mutex> rebuild(categoriesRebuild_);
  // After a refresh the store's copy in memory of every package is still following the
  // commit: waiting for it (on this background queue) lets every query below read it
  // instead of the whole file.
  auto db = store::Database::defaultDatabase();
  if (db) db->settle();
  BuiltFrom from = BuiltFrom::now();
  auto show = KVConnections::current("KVRPackageListCaches")->environment.showUpdateCount;
  if (from.commits && categoriesBuiltFrom_ && categoriesBuiltFrom_->sameAs(from)) {
    performOnMainThread([show, updates = categoriesBuiltFrom_->updates] { show(updates); });
    performOnMainThread([] { NotificationCenter::defaultCenter().post(KVDoneRebuildingPackagesCacheNotification); });
    return;
  }
  const uint64_t updates = KVRPackage::objectsWhere("isUpdated = 1 && isHeld = 0").count();
  from.updates = updates;
  const size_t newest = newestRefreshCount();
  performOnMainThread([show, updates] { show(updates); });

  auto rows = std::make_shared<std::vector<std::string>>();
  *rows = {kCategorySpecial_AllPackages, kCategorySpecial_InstalledPackages,
           NSLocalizedFormat("Updated Packages (%lu)", {std::to_string(updates)}),
           NSLocalizedFormat("New Packages (%lu)", {std::to_string(newest)}), NSLocalizedString("Browse Repositories")};
  for (auto& category : presentTexts(KVRPackage::allObjects().distinct({"category"}).sorted("category", true).valuesForKey("category")))
    rows->push_back(std::move(category));
  {
    std::lock_guard<std::mutex> lock(mutex_);
    categories_ = std::move(rows);
  }
  categoriesBuiltFrom_ = std::move(from);
  performOnMainThread([] { NotificationCenter::defaultCenter().post(KVDoneRebuildingPackagesCacheNotification); });
}
