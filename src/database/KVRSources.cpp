#include "database/KVRSources.h"

#include <map>

#include "core/KVConnections.h"
#include "core/KVPipelineManager.h"
#include "core/KVQueueStateNotification.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "core/KVSourceLocation.h"
#include "core/SourceLocations.h"
#include "database/KVIconProvider.h"
#include "database/KVParsingUtility.h"
#include "database/KVRPackage.h"
#include "database/KVRPackageVersion.h"
#include "database/KVRPackages.h"
#include "database/NSStringVersionCompare.h"
#include "database/KVSourceRefresh.h"
#include "foundation/BlockHelpers.h"
#include "foundation/Files.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/URL.h"
#include "store/Store.h"
#include "system/DeviceFiles.h"
#include "system/DeviceRoot.h"
#include "system/Reachability.h"

namespace {

std::shared_ptr<const KVConnections> connections() { return KVConnections::current("KVRSources"); }

bool setupDone() { return QuillbarkPersistentPreferences::sharedInstance().boolForKey("setupDone"); }

// The location's text after its scheme, which names the repository under either scheme.
std::optional<std::string> withoutScheme(const std::string& location) {
  size_t separator = location.find("://");
  if (separator == std::string::npos) return std::nullopt;
  return location.substr(separator + 3);
}

bool existsUnderEitherScheme(store::Database& db, const std::string& rest) {
  return db.objectForPrimaryKey(KVRSource::className(), "https://" + rest) ||
         db.objectForPrimaryKey(KVRSource::className(), "http://" + rest);
}

void presentCard(KVAlertCard card) {
  auto present = connections()->environment.presentAlertCard;
  performOnMainThread([present, card = std::move(card)]() mutable { present(std::move(card)); });
}

std::string replacingSlashes(std::string text) {
  for (auto& c : text)
    if (c == '/') c = '_';
  return text;
}

}  // namespace

// ---- Refreshing

bool KVRSources::refreshAllSources() {
  if (!setupDone()) return false;
  int status = Reachability::reachabilityForInternetConnection()->currentReachabilityStatus();
  if (status != ReachableViaWiFi && status != ReachableViaWWAN) return false;
  std::weak_ptr<KVRSources> weak = weak_from_this();
  performOnDefaultThread([weak] {
    auto self = weak.lock();
    if (!self) return;
    std::vector<std::string> locations;
    for (const auto& v : KVRSource::allObjects().valuesForKey("location")) locations.push_back(v.asString());
    // A batch without a task would never be ended by the pipeline.
    if (locations.empty()) return;
    self->setIsRefreshInProgress(true, true);
    self->queueRefreshes(locations);
  });
  return true;
}

void KVRSources::refreshSource(const std::string& location) { refreshSources({location}); }

void KVRSources::refreshSources(const std::vector<std::string>& locations) {
  if (!setupDone() || locations.empty()) return;
  setIsRefreshInProgress(true, false);
  queueRefreshes(locations);
}

void KVRSources::queueRefreshes(const std::vector<std::string>& locations) {
  // Every task is made before any is queued, so all of them take this batch's date even
  // when the first ends before the last is made.
  std::vector<std::shared_ptr<KVSourceRefresh>> tasks;
  tasks.reserve(locations.size());
  auto wired = connections();
  for (const auto& location : locations) tasks.push_back(std::make_shared<KVSourceRefresh>(location, wired));
  for (auto& task : tasks) KVPipelineManager::sharedManager().queueTask(std::move(task));
}

void KVRSources::setIsRefreshInProgress(bool flag, bool all) {
  std::optional<Date> date;
  {
    std::lock_guard<std::mutex> lock(batchMutex_);
    if (!isRefreshInProgress_ || !currentRefreshDate_) currentRefreshDate_ = Date::now();
    isRefreshInProgress_ = flag;
    date = currentRefreshDate_;
  }
  if (flag && all) {
    auto& preferences = QuillbarkPersistentPreferences::sharedInstance();
    preferences.setObject(Value(*date), "lastRefreshDate");
    preferences.saveToFile();
  }
}

bool KVRSources::isRefreshInProgress() const {
  std::lock_guard<std::mutex> lock(batchMutex_);
  return isRefreshInProgress_;
}

void KVRSources::setIsRefreshInProgress(bool flag) {
  std::lock_guard<std::mutex> lock(batchMutex_);
  isRefreshInProgress_ = flag;
}

std::optional<Date> KVRSources::currentRefreshDate() {
  std::lock_guard<std::mutex> lock(batchMutex_);
  return currentRefreshDate_;
}

void KVRSources::setCurrentRefreshDate(std::optional<Date> date) {
  std::lock_guard<std::mutex> lock(batchMutex_);
  currentRefreshDate_ = date;
}

void KVRSources::refreshBatchEnded() {
  std::lock_guard<std::mutex> lock(batchMutex_);
  isRefreshInProgress_ = false;
  currentRefreshDate_.reset();
}

// ---- Adding

bool KVRSources::addSourceWithLocation(const std::string& text, bool httpApproval) {
  return addSourceWithLocation(text, httpApproval, false);
}

bool KVRSources::addSourceWithLocation(const std::string& typed, bool httpApproval, bool showOriginalDepictions) {
  // The one check of every location: it reaches the sources list, file names and requests.
  if (SourceLocations::normalized(typed) == "http://" || SourceLocations::normalized(typed) == "https://") return false;
  auto location = KVSourceLocation::fromText(typed);
  if (!location) {
    std::string reason = location.error()->localizedDescription();
    KVLog("Refusing the source location \"%s\": %s", typed.c_str(), reason.c_str());
    presentCard({NSLocalizedString("Invalid Source"), NSLocalizedFormat("%@ can't be added: %@.", {typed, reason}),
                 NSLocalizedString("OK"), "", nullptr});
    return false;
  }
  return addSource(*location, httpApproval, showOriginalDepictions);
}

bool KVRSources::addSource(const KVSourceLocation& typedLocation, bool httpApproval, bool showOriginalDepictions) {
  const std::string location = typedLocation.text();
  if (sourceExists(location)) return false;

  std::weak_ptr<KVRSources> weak = weak_from_this();
  if (!httpApproval && !typedLocation.isHTTPS()) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      url_ = location;
    }
    presentCard({NSLocalizedString("Warning"),
                 NSLocalizedString("You are trying to add a source with http:// instead of default https://.\n"
                                   "As it is less secure, are you sure you want to add it?"),
                 NSLocalizedString("Cancel"), NSLocalizedString("Continue"), [weak] {
                   if (auto self = weak.lock()) self->addHTTPSource();
                 }});
    return false;
  }

  if (QuillbarkPersistentPreferences::sharedInstance().boolForKey("AuthenticationForPackagesManagementTasks")) {
    auto authenticate = connections()->environment.authenticateDeviceOwner;
    std::string reason = NSLocalizedFormat("Please authenticate yourself to add %@", {location});
    performOnDefaultThread([weak, authenticate, reason, location, showOriginalDepictions] {
      authenticate(reason, [weak, location, showOriginalDepictions](KVOwnerAuthentication outcome) {
        std::string title = NSLocalizedString("Quillbark Authentication");
        switch (outcome) {
          case KVOwnerAuthentication::Succeeded:
            performOnDefaultThread([weak, location, showOriginalDepictions] {
              if (auto self = weak.lock()) self->addSourceAfterChecks(location, showOriginalDepictions);
            });
            break;
          case KVOwnerAuthentication::Failed:
            presentCard({title, NSLocalizedString("Failed to authenticate yourself. Try again."),
                         NSLocalizedString("Close"), "", nullptr});
            break;
          case KVOwnerAuthentication::Unavailable:
            presentCard({title,
                         NSLocalizedString("Your device can't use FaceID, TouchID or password authentication at the "
                                           "moment. Most likely you haven't set it up in Settings."),
                         NSLocalizedString("Close"), "", nullptr});
            break;
        }
      });
    });
    return true;
  }
  performOnDefaultThread([weak, location, showOriginalDepictions] {
    if (auto self = weak.lock()) self->addSourceAfterChecks(location, showOriginalDepictions);
  });
  return true;
}

void KVRSources::addHTTPSource() {
  std::optional<std::string> location;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    location = url_;
  }
  if (location) addSourceWithLocation(*location, true, false);
}

void KVRSources::addSourceAfterChecks(const std::string& location, bool showOriginalDepictions) {
  bool added = false;
  auto db = store::Database::openDefaultDatabase();
  ErrorRef error = !db ? db.error() : (*db)->write([&] {
    // Two quick additions of one repository add it once.
    if (existsUnderEitherScheme(**db, *withoutScheme(location))) return;
    KVRSource source = KVRSource::newSourceWithLocation(location);
    source.setSeeOriginalDepictions(showOriginalDepictions);
    (*db)->add(source.toObject());
    added = true;
  });
  if (error) {
    // Whoever asked was told the source is on its way: it is not.
    KVLog("Cannot add the source %s: %s", location.c_str(), error->localizedDescription().c_str());
    presentCard({NSLocalizedString("Source Error"),
                 NSLocalizedFormat("%@ could not be added: %@", {location, error->localizedDescription()}),
                 NSLocalizedString("Close"), "", nullptr});
    return;
  }
  if (added) refreshSource(location);
}

std::vector<std::string> KVRSources::addImportedSources(const std::set<std::string>& locations) {
  // One location per repository: the https one wins over its plain-http twin.
  std::map<std::string, std::string> byRepository;
  for (const auto& imported : locations) {
    auto location = KVSourceLocation::fromText(imported);
    if (!location) {
      KVLog("Not importing the source location \"%s\": %s", imported.c_str(),
            location.error()->localizedDescription().c_str());
      continue;
    }
    auto [entry, inserted] = byRepository.emplace(std::string(location->withoutScheme()), location->text());
    if (!inserted && location->isHTTPS()) entry->second = location->text();
  }
  std::vector<std::string> added;
  auto db = store::Database::defaultDatabase();
  if (!db || byRepository.empty()) return added;
  if (ErrorRef error = db->write([&] {
    for (const auto& [rest, location] : byRepository) {
      if (existsUnderEitherScheme(*db, rest)) continue;
      db->add(KVRSource::newSourceWithLocation(location).toObject());
      added.push_back(location);
    }
  })) {
    KVLog("Cannot import the sources: %s", error->localizedDescription().c_str());
    added.clear();
  }
  return added;
}

// ---- Removing

std::string KVRSources::keptIndexPath(const std::string& location) {
  return DeviceRoot::devicePath(DeviceRoot::kApplicationSupport) + "/SourcesFiles/" + replacingSlashes(location) +
         "-Packages";
}

void KVRSources::forgetSourceFiles(const std::string& location) {
  DeviceFiles::removeItem(keptIndexPath(location));
  auto lists = connections()->sourceLists;
  // A location the one check refuses never reached APT's lists: nothing to remove there.
  if (auto typed = KVSourceLocation::fromText(location)) {
    if (ErrorRef error = lists->purgeSource(*typed))
      KVLog("Cannot remove %s from the APT lists: %s", location.c_str(), error->localizedDescription().c_str());
  }
  lists->generateCaches();
}

bool KVRSources::removeSourceWithLocation(const std::string& location) { return removeSource(location); }

namespace {
// A package's newest version among those sources other than `location` offer.
std::optional<KVRPackageVersion> newestElsewhere(const KVRPackage& package, const std::string& location) {
  std::optional<KVRPackageVersion> newest;
  for (const auto& offer : package.availableVersions()) {
    if (!offer.source() || *offer.source() == location || !offer.version()) continue;
    if (!newest || NSStringVersionCompare::greaterThan(*offer.version(), *newest->version())) newest = offer;
  }
  return newest;
}

bool offersVersion(const KVRPackage& package, const std::string& version, const std::string& excludedLocation) {
  for (const auto& offer : package.availableVersions())
    if (offer.version() == version && offer.source() && *offer.source() != excludedLocation) return true;
  return false;
}
}  // namespace

bool KVRSources::removeSource(const std::string& location) {
  forgetSourceFiles(location);
  auto packages = connections()->packages;
  performOnDefaultThread([location, packages] {
    // The packages that go with the source, and the queued ones it took with it: none of
    // another source's.
    std::vector<std::string> identifiers, unqueued, unqueuedNames;
    auto opened = store::Database::openDefaultDatabase();
    ErrorRef error = opened ? nullptr : opened.error();
    if (opened) {
      auto& db = *opened;
      error = db->write([&] {
        auto drop = [&](const KVRPackage& package) {
          unqueued.push_back(package.identifier());
          unqueuedNames.push_back(package.name().value_or(package.identifier()));
        };
        for (const auto& object : db->objects(KVRPackage::className(), "isInTheQueue = 1").objects()) {
          KVRPackage package = KVRPackage::fromObject(object);
          const auto& version = package.queuedVersion();
          bool onlyHere = package.sourceLocation() == location && !newestElsewhere(package, location);
          // The version chosen for it came from this source alone (a removal needs none).
          bool versionOnlyHere = version && !version->empty() &&
                                 package.queueOperation().value_or(0) != KVQueueOperationRemove &&
                                 !offersVersion(package, *version, location);
          if (!onlyHere && !versionOnlyHere) continue;
          drop(package);
          db->setValue(object, "isInTheQueue", Value(false));
          db->setValue(object, "queueOperation", Value(0LL));
          db->setValue(object, "queuedVersion", Value());
        }
        // A package another source offers too stays, that source's now, at its newest version.
        for (const auto& object : db->objects(KVRPackage::className(), "sourceLocation = %@", location).objects()) {
          KVRPackage package = KVRPackage::fromObject(object);
          auto newest = newestElsewhere(package, location);
          if (!newest) {
            identifiers.push_back(package.identifier());
            continue;
          }
          db->setValue(object, "sourceLocation", Value(*newest->source()));
          db->setValue(object, "version", Value(*newest->version()));
          db->setValue(object, "location", newest->fileLocation() ? Value(*newest->fileLocation()) : Value());
          if (package.isInstalled().value_or(false) && package.installedVersion())
            db->setValue(object, "isUpdated",
                         Value(NSStringVersionCompare::lessThan(*package.installedVersion(), *newest->version())));
        }
        db->deleteObjects(db->objects(KVRPackageVersion::className(), "source = %@", location));
        db->deleteObjects(db->objects(KVRPackage::className(), "sourceLocation = %@", location));
        if (auto source = db->objectForPrimaryKey(KVRSource::className(), location)) db->deleteObject(*source);
      });
    }
    if (error) {
      // Its lists are gone already: it stays, and a refresh brings them back.
      KVLog("Cannot remove the source %s: %s", location.c_str(), error->localizedDescription().c_str());
      presentCard({NSLocalizedString("Source Error"),
                   NSLocalizedFormat("%@ could not be removed: %@. Refresh it before installing from it.",
                                     {location, error->localizedDescription()}),
                   NSLocalizedString("Close"), "", nullptr});
      return;
    }
    packages->removeCachedImagesForPackages(identifiers);
    // Only now that the records are gone does dpkg's status bring the installed ones back.
    KVParsingUtility::checkStatusFileWithCompletion([](ErrorRef error) {
      if (error) KVLog("The dpkg status import failed: %s", error->localizedDescription().c_str());
    });
    NotificationCenter::defaultCenter().postOnMainThreadAsync(
        Notification{KVRSourceUpdatedNotification, Value(), Value(), nullptr, nullptr});
    if (unqueued.empty()) return;
    performOnMainThread([unqueued] {
      for (const auto& identifier : unqueued)
        NotificationCenter::defaultCenter().post(KVQueueStateNotificationName(identifier), Value(),
                                                 Value::dict({{"Message", "Canceled Operation"}}));
    });
    std::string names;
    for (const auto& name : unqueuedNames) names += (names.empty() ? "" : ", ") + name;
    presentCard({NSLocalizedString("Removed From the Queue"),
                 NSLocalizedFormat("These queued packages came from the source you removed, which no other source "
                                   "offers: %@.",
                                   {names}),
                 NSLocalizedString("OK"), "", nullptr});
  });
  return true;
}

// ---- Reading

bool KVRSources::sourceExists(const std::string& text) {
  auto rest = withoutScheme(text);
  if (!rest) return true;
  auto db = store::Database::defaultDatabase();
  return db && existsUnderEitherScheme(*db, *rest);
}

std::vector<std::string> KVRSources::arrayOfConfiguredSources() {
  std::vector<KVRSource> all = KVRSource::allObjects().all();
  std::vector<std::string> locations;
  for (const auto& source : all) locations.push_back(source.location());
  replaceSources(std::move(all));
  return locations;
}

size_t KVRSources::count() {
  size_t answer;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    answer = sources_.size();
  }
  std::weak_ptr<KVRSources> weak = weak_from_this();
  performOnDefaultThread([weak] {
    auto self = weak.lock();
    if (!self) return;
    self->replaceSources(KVRSource::allObjects().all());
  });
  return answer;
}

void KVRSources::replaceSources(std::vector<KVRSource> sources) {
  std::lock_guard<std::mutex> lock(mutex_);
  sources_ = std::move(sources);
}

std::optional<KVRSource> KVRSources::sourceAtIndex(size_t index) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (index >= sources_.size()) return std::nullopt;
  return sources_[index];
}

std::optional<KVRSource> KVRSources::sourceWithLocation(const std::string& location) const {
  return KVRSource::objectForPrimaryKey(location);
}

std::vector<KVRSource> KVRSources::sources() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sources_;
}

std::optional<std::string> KVRSources::url() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return url_;
}

std::shared_ptr<UIImage> KVRSources::iconForLocation(const std::string& location) {
  return KVIconProvider::sourceIconForLocation(location);
}

void KVRSources::removeIconForLocation(const std::string& location) {
  KVIconProvider::removeSourceIconWithLocation(location);
}
