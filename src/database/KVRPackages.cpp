#include "database/KVRPackages.h"

#include <filesystem>

#include "core/KVConnections.h"
#include "database/KVIconProvider.h"
#include "database/NSStringVersionCompare.h"
#include "foundation/BlockHelpers.h"
#include "foundation/Files.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "store/Store.h"
#include "system/DeviceFiles.h"
#include "system/DeviceRoot.h"

namespace {

std::shared_ptr<const KVConnections> connections() { return KVConnections::current("KVRPackages"); }

std::vector<std::string> texts(const std::vector<Value>& values, bool skipEmpty) {
  std::vector<std::string> out;
  for (const auto& v : values) {
    if (!v.isString()) continue;
    if (skipEmpty && v.asString().empty()) continue;
    out.push_back(v.asString());
  }
  return out;
}

// Runs `change` in one write transaction of the calling thread's default database.
ErrorRef writeDefault(const char* what, const std::function<void(store::Database&)>& change) {
  auto db = store::Database::openDefaultDatabase();
  if (!db) {
    KVLog("%s failed: %s", what, db.error()->localizedDescription().c_str());
    return db.error();
  }
  if (ErrorRef error = (*db)->write([&] { change(**db); })) {
    KVLog("%s failed: %s", what, error->localizedDescription().c_str());
    return makeError("KVRPackages", 1, std::string(what) + " failed: " + error->localizedDescription().c_str());
  }
  return nullptr;
}

// The queue-state rule, on one stored record, from its state at this moment.
void applyQueueState(store::Database& db, const store::StoreObject& object, bool inTheQueue,
                     const std::optional<std::string>& versionToQueue, int64_t operation) {
  KVRPackage package = KVRPackage::fromObject(object);
  db.setValue(object, "isInTheQueue", Value(inTheQueue));
  db.setValue(object, "queuedVersion", versionToQueue ? Value(*versionToQueue) : Value());
  Value code = inTheQueue ? Value(static_cast<long long>(
                                KVRPackages::queueOperationForPackage(package, versionToQueue, operation)))
                          : Value();
  db.setValue(object, "queueOperation", code);
}

// Removes every entry below the application-support folder `folder` whose relative path
// contains the identifier (so an identifier that begins a longer one takes its files too).
void removeCachedEntries(const char* folder, const std::string& identifier, const char* failureText) {
  if (identifier.empty()) return;
  namespace fs = std::filesystem;
  const std::string base = DeviceRoot::devicePath(DeviceRoot::kApplicationSupport) + "/" + folder;
  std::error_code ec;
  std::vector<std::string> matches;
  for (fs::recursive_directory_iterator it(base, fs::directory_options::skip_permission_denied, ec), end;
       !ec && it != end; it.increment(ec)) {
    std::string relative = it->path().lexically_relative(base).string();
    if (relative.find(identifier) != std::string::npos) {
      matches.push_back(it->path().string());
      if (it->is_directory(ec)) it.disable_recursion_pending();  // it goes whole
    }
  }
  for (const auto& path : matches) {
    std::string error;
    if (!DeviceFiles::removeItem(path, &error)) KVLog(failureText, error.c_str());
  }
}

}  // namespace

// ---- Lookups and counts

uint64_t KVRPackages::countOfUpdatedPackages() const {
  return KVRPackage::objectsWhere("isUpdated = 1 && isHeld = 0").count();
}

uint64_t KVRPackages::countOfPackagesInCategory(const std::string& category) const {
  return KVRPackage::objectsWhere("category = %@", category).count();
}

uint64_t KVRPackages::countOfPackagesInWishlist() const {
  return KVRPackage::objectsWhere("isInWishlist = %@", true).count();
}

std::optional<KVRPackage> KVRPackages::packageWithIdentifier(const std::string& identifier) const {
  return KVRPackage::objectForPrimaryKey(identifier);
}

bool KVRPackages::packageIsInstalled(const std::string& identifier) const {
  auto package = packageWithIdentifier(identifier);
  return package && package->isInstalled().value_or(false);
}

std::optional<std::string> KVRPackages::installedVersionForPackage(const std::string& text) const {
  auto first = KVRPackage::objectsWhere("identifier contains[cd] %@ AND isInstalled = %@", text, true).first();
  if (!first) return std::nullopt;
  return first->version();
}

std::vector<std::string> KVRPackages::arrayOfPackagesInWishlist() const {
  return texts(KVRPackage::objectsWhere("isInWishlist = 1").valuesForKey("identifier"), false);
}

std::vector<std::string> KVRPackages::arrayOfInstalledPackagesByIdentifier() const {
  return texts(KVRPackage::objectsWhere("isInstalled = 1").valuesForKey("identifier"), false);
}

std::vector<std::string> KVRPackages::arrayOfSubcategoriesOfCategory(const std::string& category) const {
  auto results = KVRPackage::objectsWhere("category = %@ AND subcategory != nil", category)
                     .distinct({"subcategory"})
                     .sorted("subcategory");
  return texts(results.valuesForKey("subcategory"), true);
}

std::vector<std::string> KVRPackages::arrayOfSourceCategories(const std::string& location) const {
  auto results = KVRPackage::objectsWhere("sourceLocation = %@", location).distinct({"category"}).sorted("category");
  return texts(results.valuesForKey("category"), false);
}

uint64_t KVRPackages::countOfInstalledPackagesForSource(const std::string& location) const {
  return KVRPackage::objectsWhere("sourceLocation = %@ AND isInstalled = 1", location).count();
}

std::map<std::string, uint64_t> KVRPackages::countsOfInstalledPackagesBySource(store::Database& db) const {
  std::map<std::string, uint64_t> counts;
  for (const Value& location : db.objects(KVRPackage::className(), "isInstalled = 1").valuesForKey("sourceLocation"))
    if (location.isString()) ++counts[location.asString()];
  return counts;
}

uint64_t KVRPackages::countOfPackagesInSourceWithLocation(const std::string& location) const {
  return KVRPackage::objectsWhere("sourceLocation = %@", location).count();
}

// ---- Queue state

int64_t KVRPackages::queueOperationForPackage(const KVRPackage& package, const std::optional<std::string>& versionToQueue,
                                              int64_t operation) {
  if (operation != KVQueueOperationChoose) return operation;
  bool installed = package.isInstalled().value_or(false);
  if (versionToQueue && !versionToQueue->empty() && installed) {
    return NSStringVersionCompare::greaterThan(*versionToQueue, package.installedVersion().value_or(""))
               ? KVQueueOperationUpgrade
               : KVQueueOperationDowngrade;
  }
  if (installed) {
    bool updatable = package.isUpdated().value_or(false) && !package.isHeld().value_or(false);
    return updatable ? KVQueueOperationUpgrade : KVQueueOperationRemove;
  }
  return KVQueueOperationInstall;
}

ErrorRef KVRPackages::setPackage(const std::string& identifier, bool inTheQueue,
                                 const std::optional<std::string>& versionToQueue, int64_t operation) {
  return writeDefault("Writing the queue state", [&](store::Database& db) {
    if (auto object = db.objectForPrimaryKey(KVRPackage::className(), Value(identifier)))
      applyQueueState(db, *object, inTheQueue, versionToQueue, operation);
  });
}

ErrorRef KVRPackages::setPackageObject(const KVRPackage& package, bool inTheQueue,
                                       const std::optional<std::string>& versionToQueue, int64_t operation) {
  return setPackage(package.identifier(), inTheQueue, versionToQueue, operation);
}

ErrorRef KVRPackages::setPackagesWhere(const std::string& predicate, bool inTheQueue,
                                       const std::optional<std::string>& versionToQueue, int64_t operation) {
  return writeDefault("Writing the queue state", [&](store::Database& db) {
    for (const auto& object : db.objectsWhere(KVRPackage::className(), predicate, {}).objects())
      applyQueueState(db, object, inTheQueue, versionToQueue, operation);
  });
}

ErrorRef KVRPackages::clearQueueState(store::Database& db) {
  if (ErrorRef error = db.write([&] {
    // Only records that hold any queue state: the others read as unqueued already, and
    // a write to every record would tell every observer of every record.
    auto queued = db.objects(KVRPackage::className(), "isInTheQueue = 1 OR queueOperation != nil OR queuedVersion != nil");
    queued.setValue("isInTheQueue", Value(false));
    queued.setValue("queueOperation", Value(0LL));
    queued.setValue("queuedVersion", Value());
  })) {
    KVLog("Clearing the queue failed: %s", error->localizedDescription().c_str());
    return makeError("KVRPackages", 1, std::string("Clearing the queue failed: ") + error->localizedDescription().c_str());
  }
  return nullptr;
}

ErrorRef KVRPackages::clearQueueState(store::Database& db, const std::vector<std::string>& identifiers) {
  if (ErrorRef error = db.write([&] {
    for (const auto& identifier : identifiers) {
      auto object = db.objectForPrimaryKey(KVRPackage::className(), Value(identifier));
      if (!object) continue;
      db.setValue(*object, "isInTheQueue", Value(false));
      db.setValue(*object, "queueOperation", Value(0LL));
      db.setValue(*object, "queuedVersion", Value());
    }
  })) {
    KVLog("Clearing the queue failed: %s", error->localizedDescription().c_str());
    return makeError("KVRPackages", 1, std::string("Clearing the queue failed: ") + error->localizedDescription().c_str());
  }
  return nullptr;
}

ErrorRef KVRPackages::clearQueueNow() {
  auto db = store::Database::openDefaultDatabase();
  if (!db) return db.error();
  return clearQueueState(**db);
}

void KVRPackages::resetPackagesQueue(std::function<void(ErrorRef)> completion) {
  performOnDefaultThread([completion = std::move(completion)] {
    ErrorRef error;
    auto db = store::Database::openDefaultDatabase();
    if (db) error = clearQueueState(**db);
    else error = db.error();
    if (error) KVLog("Clearing the queue failed: %s", error->localizedDescription().c_str());
    if (completion) completion(error);
  });
}

void KVRPackages::resetPackagesWishlist() {
  performOnDefaultThread([] {
    ErrorRef error = writeDefault("Clearing the wishlist", [](store::Database& db) {
      db.objects(KVRPackage::className(), "isInWishlist = 1").setValue("isInWishlist", Value(false));
    });
    (void)error;  // logged where it happened
  });
}

void KVRPackages::resetInstalledPackages() {
  performOnDefaultThread([] {
    ErrorRef error = writeDefault("Clearing the installed packages", [](store::Database& db) {
      auto all = db.objects(KVRPackage::className());
      for (const char* key : {"isInstalled", "isInstalledUsingAnotherPM", "isUpdated", "isHeld"})
        all.setValue(key, Value(false));
      db.objects(KVRPackage::className(), "isEssential = 1").setValue("isUpdated", Value(true));
    });
    (void)error;  // logged where it happened
  });
}

// ---- The action button's title

std::optional<std::string> KVRPackages::getButtonTitleForPackage(const std::optional<KVRPackage>& package,
                                                                 bool showsPrice, bool available, bool owned,
                                                                 const std::optional<std::string>& price) {
  if (package && package->isInTheQueue().value_or(false)) return NSLocalizedString("QUEUED");
  // dpkg did not finish with it: a tap offers to configure it again or remove it.
  if (auto unfinished = package ? package->unfinishedInstallText(true) : std::nullopt) return NSLocalizedString(*unfinished);
  // What its sources offer is built for another device: nothing to install or update to.
  const bool otherArchitecture = package && package->isForAnotherArchitecture();
  if (package && package->isUpdated().value_or(false) && !package->isHeld().value_or(false) && !otherArchitecture)
    return NSLocalizedString("UPDATE");
  if (package && package->isInstalled().value_or(false)) return NSLocalizedString("UNINSTALL");
  if (otherArchitecture) return NSLocalizedString("INCOMPATIBLE");
  if (!available) return NSLocalizedString("UNAVAILABLE");
  if (owned) return NSLocalizedString("OWNED");
  // A package without a record counts as not free and without a price of its own.
  if (showsPrice && !(package && package->isFree())) {
    if (price && !price->empty()) return price;
    return package ? package->price() : std::nullopt;
  }
  return NSLocalizedString("GET");
}

std::optional<std::string> KVRPackages::getButtonTitleForPackageIdentifier(const std::string& identifier,
                                                                           bool showsPrice, bool available, bool owned,
                                                                           const std::optional<std::string>& price) const {
  return getButtonTitleForPackage(packageWithIdentifier(identifier), showsPrice, available, owned, price);
}

std::optional<std::string> KVRPackages::getButtonTitleForPackage(const std::optional<KVRPackage>& package,
                                                                 bool showsPrice) {
  return getButtonTitleForPackage(package, showsPrice, true, false, std::nullopt);
}

std::optional<std::string> KVRPackages::getButtonTitleForPackageIdentifier(const std::string& identifier,
                                                                           bool showsPrice) const {
  return getButtonTitleForPackage(packageWithIdentifier(identifier), showsPrice);
}

// ---- The package page's writers

namespace {
// Sets properties of the record of `identifier`, when there is one.
ErrorRef writePackage(const char* what, const std::string& identifier,
                      const std::function<void(store::Database&, const store::StoreObject&)>& change) {
  return writeDefault(what, [&](store::Database& db) {
    if (auto object = db.objectForPrimaryKey(KVRPackage::className(), Value(identifier))) change(db, *object);
  });
}

Value textList(const std::vector<std::string>& items) {
  Value list = Value::array();
  for (const auto& item : items) list.push_back(item);
  return list;
}
}  // namespace

ErrorRef KVRPackages::setPackageInWishlist(const std::string& identifier, bool inWishlist) {
  return writePackage("Writing the wishlist mark", identifier, [&](store::Database& db, const store::StoreObject& o) {
    db.setValue(o, "isInWishlist", Value(inWishlist));
  });
}

ErrorRef KVRPackages::setPackageRating(const std::string& identifier, int64_t rating) {
  return writePackage("Writing the rating", identifier, [&](store::Database& db, const store::StoreObject& o) {
    db.setValue(o, "myRating", Value(static_cast<long long>(rating)));
  });
}

ErrorRef KVRPackages::clearPackageRating(const std::string& identifier) {
  return writePackage("Clearing the rating", identifier,
                      [&](store::Database& db, const store::StoreObject& o) { db.setValue(o, "myRating", Value()); });
}

ErrorRef KVRPackages::setPackageScreenshots(const std::string& identifier, const std::vector<std::string>& addresses) {
  return writePackage("Writing the screenshots", identifier, [&](store::Database& db, const store::StoreObject& o) {
    db.setValue(o, "screenshots", textList(addresses));
    db.setValue(o, "screenshotsLocalPaths", Value::array());
  });
}

ErrorRef KVRPackages::setPackageScreenshotsLocalPaths(const std::string& identifier,
                                                      const std::vector<std::string>& paths,
                                                      const std::optional<std::vector<std::string>>& forAddresses) {
  return writePackage("Writing the cached screenshots", identifier,
                      [&](store::Database& db, const store::StoreObject& o) {
                        if (forAddresses && o.getStringList("screenshots") != *forAddresses) return;
                        db.setValue(o, "screenshotsLocalPaths", textList(paths));
                      });
}

// ---- Cached images

void KVRPackages::removeScreenshotsForPackageWithIdentifier(const std::string& identifier) {
  removeCachedEntries("ScreenshotsCache", identifier, "Screenshot removal error : %s");
}

void KVRPackages::removeHomeBannerForPackageWithIdentifier(const std::string& identifier) {
  removeCachedEntries("HomeCache", identifier, "Home banner removal error : %s");
}

void KVRPackages::removeDepictionsBannerForPackageIdentifier(const std::string& identifier) {
  removeCachedEntries("DepictionsBanners", identifier, "Depictions banner removal error : %s");
}

void KVRPackages::removeCachedImagesForPackages(const std::vector<std::string>& identifiers) {
  for (const auto& identifier : identifiers) {
    removeScreenshotsForPackageWithIdentifier(identifier);
    removeHomeBannerForPackageWithIdentifier(identifier);
    removeDepictionsBannerForPackageIdentifier(identifier);
  }
}

// ---- Downloads

void KVRPackages::downloadPackageWithIdentifier(const std::string& identifier) {
  if (identifier.empty()) return;
  downloadPackagesWithIdentifiers({identifier}, KVConfirmedQueue{});
}

size_t KVRPackages::downloadPackagesWithIdentifiers(const std::vector<std::string>& identifiers,
                                                    const KVConfirmedQueue& queue) {
  return connections()->downloads->downloadPackagesWithIdentifiers(identifiers, queue);
}

// ---- What the pipeline and the database ask

void KVRPackages::rebuildPackagesCategoriesCache() { caches_->rebuildPackagesCategoriesCache(); }

void KVRPackages::rebuildDictOfNewPackages() { caches_->rebuildDictOfNewPackages(); }

void KVRPackages::rebuildDictOfNewPackagesVersions() { caches_->rebuildDictOfNewPackagesVersions(); }

std::optional<KVPackageInstallInfo> KVRPackages::packageInstallInfo(const std::string& identifier) {
  auto package = packageWithIdentifier(identifier);  // a read that fails is logged and absent
  if (!package) return std::nullopt;
  return KVPackageInstallInfo{package->postinstallaction().value_or(""), package->installedFiles()};
}

std::shared_ptr<UIImage> KVRPackages::iconForIdentifier(const std::string& identifier) {
  return KVIconProvider::packageIconForIdentifier(identifier);
}

std::shared_ptr<UIImage> KVRPackages::iconForIdentifier(const std::string& identifier, const std::string& overrideURL) {
  return KVIconProvider::packageIconForIdentifier(identifier, overrideURL);
}

std::shared_ptr<UIImage> KVRPackages::getCategoryIconForIdentifier(const std::string& identifier) {
  return KVIconProvider::packageCategoryIconForIdentifier(identifier);
}
