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

// One grouping by refresh date: `condition` (may be empty) selects the packages.
KVPackageDateGrouping group(const std::string& condition, bool byName) {
  std::string compatible = showIncompatible() ? "" : "tweakCompatibleStatus != 1";
  std::string selection = condition;
  if (!compatible.empty()) selection += (selection.empty() ? "" : " AND ") + compatible;
  auto chosen = selection.empty() ? KVRPackage::allObjects() : KVRPackage::objectsWhere(selection);
  KVPackageDateGrouping grouping;
  grouping.dates = presentTexts(chosen.distinct({"updatedDateStr"}).sorted("updatedDateStr", false).valuesForKey("updatedDateStr"));
  const std::string memberSelection = "updatedDateStr = %@" + (selection.empty() ? "" : " AND " + selection);
  for (const auto& date : grouping.dates) {
    auto members = KVRPackage::objectsWhere(memberSelection, date);
    if (byName) members = members.sorted({{"updatedDateStr", false}, {"name", true}});
    grouping.identifiersByDate[date] = identifiers(members);
  }
  return grouping;
}

}  // namespace

std::shared_ptr<const std::vector<std::string>> KVRPackageListCaches::arrayOfPackagesCategories() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return categories_;
}

std::shared_ptr<const KVPackageDateGrouping> KVRPackageListCaches::newPackages() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return newPackages_;
}

std::shared_ptr<const KVPackageDateGrouping> KVRPackageListCaches::newPackagesVersions() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return newPackagesVersions_;
}

KVPackageDateGrouping KVRPackageListCaches::buildNewPackages() { return group("", true); }

KVPackageDateGrouping KVRPackageListCaches::buildNewPackagesVersions() { return group("hasNewVersion = 1", false); }

void KVRPackageListCaches::rebuildDictOfNewPackages() {
  std::lock_guard<std::mutex> rebuild(newPackagesRebuild_);
  auto built = std::make_shared<const KVPackageDateGrouping>(buildNewPackages());
  std::lock_guard<std::mutex> lock(mutex_);
  newPackages_ = std::move(built);
}

void KVRPackageListCaches::rebuildDictOfNewPackagesVersions() {
  auto built = std::make_shared<const KVPackageDateGrouping>(buildNewPackagesVersions());
  std::lock_guard<std::mutex> lock(mutex_);
  newPackagesVersions_ = std::move(built);
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
  BuiltFrom from{db, db ? db->commitsChanging(KVRPackage::className()) : std::nullopt, showIncompatible()};
  auto show = KVConnections::current("KVRPackageListCaches")->environment.showUpdateCount;
  if (from.commits && categoriesBuiltFrom_ && categoriesBuiltFrom_->sameAs(from)) {
    performOnMainThread([show, updates = categoriesBuiltFrom_->updates] { show(updates); });
    performOnMainThread([] { NotificationCenter::defaultCenter().post(KVDoneRebuildingPackagesCacheNotification); });
    return;
  }
  const uint64_t updates = KVRPackage::objectsWhere("isUpdated = 1 && isHeld = 0").count();
  from.updates = updates;
  rebuildDictOfNewPackages();
  auto grouping = newPackages();
  const size_t newest = grouping && !grouping->dates.empty() ? grouping->identifiersByDate.at(grouping->dates.front()).size() : 0;
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
