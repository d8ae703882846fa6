// The refresh task: creation, the start of a run with its special repository rules, the
// payment endpoint question, the ends and the status reports.
#include "database/KVSourceRefresh.h"

#include <cstdlib>

#include "core/KVConnections.h"
#include "core/KVErrorDomain.h"
#include "core/KVPipelineManager.h"
#include "core/KVPlatform.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "database/KVParsingUtility.h"
#include "database/KVRPackage.h"
#include "database/KVRSource.h"
#include "database/KVRSources.h"
#include "database/KVRepositoryRules.h"
#include "foundation/DateFormatter.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/URLSession.h"
#include "store/Store.h"
#include "system/Reachability.h"

namespace {


bool preference(const char* key) { return QuillbarkPersistentPreferences::sharedInstance().boolForKey(key); }

bool isMissingOr(const std::optional<std::string>& text, const char* placeholder) {
  return !text || text->empty() || *text == placeholder;
}

}  // namespace

std::string KVSourceRefresh::taskIDForLocation(const std::string& location) {
  std::string id = "Refresh-" + location;
  for (auto& c : id)
    if (c == '/') c = '_';
  return id;
}

KVSourceRefresh::KVSourceRefresh(const std::string& location, std::shared_ptr<const KVConnections> wired)
    : connections_(std::move(wired)), queue_(DispatchQueue::makeSerial("KVSourceRefresh " + location)),
      location_(location) {
  auto source = KVRSource::objectForPrimaryKey(location);
  sourceName_ = source ? source->name().value_or("") : "";
  // A record whose count is still the placeholder of a new source has never had an index
  // applied (a reset database re-adds its sources so), whatever files are on disk.
  neverApplied_ = !source || isMissingOr(source->totalPackages(), " ");
  shouldForceRefresh_ = neverApplied_ || source->hasErrors().value_or(false);
  description_ = NSLocalizedFormat("Waiting on %@...", {location});
  needsFullRefresh_ = preference("NeedsFullRefresh");
  shouldForceReleaseRefresh_ = !source || isMissingOr(source->name(), "Unknown name") ||
                               isMissingOr(source->Description(), "Unknown description") ||
                               isMissingOr(source->maintainer(), "Unknown maintainer") ||
                               source->hasErrors().value_or(false);
  followed_ = source && source->isFollowed().value_or(false);
  auto lists = connections()->sourceLists;
  hasAPTPackagesFile_ = lists->hasListFile(location, KVSourceListsManaging::Packages);
  if (!needsFullRefresh_ && !shouldForceReleaseRefresh_ && !shouldForceRefresh_)
    releaseLastModified_ = lists->lastModifiedText(location, KVSourceListsManaging::Release);
  if (!needsFullRefresh_ && !shouldForceRefresh_)
    packagesLastModified_ = lists->lastModifiedText(location, KVSourceListsManaging::Packages);
  date_ = connections()->sources->currentRefreshDate().value_or(Date::now());
  dateString_ = KVParsingUtility::refreshDateFormatter().format(date_);
}

KVSourceRefresh::~KVSourceRefresh() {
  if (session_) session_->invalidateAndCancel();
}

std::shared_ptr<KVSourceRefresh> KVSourceRefresh::self() {
  return std::static_pointer_cast<KVSourceRefresh>(shared_from_this());
}

std::string KVSourceRefresh::taskID() const { return taskIDForLocation(sourceLocation()); }
std::string KVSourceRefresh::pipelineID() const { return KVPipelineSourceRefresh; }
double KVSourceRefresh::taskProgress() const { return progress_.load(); }
bool KVSourceRefresh::taskCanCancel() const { return canCancel_.load(); }

std::string KVSourceRefresh::taskDescription() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return description_;
}

std::string KVSourceRefresh::taskLocalizedObjectName() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sourceName_.empty() ? location_ : sourceName_;
}

std::string KVSourceRefresh::sourceLocation() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return location_;
}

std::string KVSourceRefresh::sourceName() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sourceName_;
}

std::string KVSourceRefresh::doneText() const { return NSLocalizedFormat("Done updating %@.", {sourceName()}); }

// ---- Cancelling

void KVSourceRefresh::taskCancel() {
  if (!canCancel_.load() || cancelled_.exchange(true)) return;
  if (session_) session_->invalidateAndCancel();
  reportEnd(true, nullptr);
  cancel();  // a task that has not started finishes without running
}

void KVSourceRefresh::didCancel() { taskCancel(); }

// ---- The run

void KVSourceRefresh::taskStart() {
  auto task = self();
  queue_->async([task] { task->run(); });
}

void KVSourceRefresh::run() {
  setProgress(0);
  const std::string location = sourceLocation();
  if (followed_) {
    std::unordered_set<std::string> previous;
    for (const auto& id : KVRPackage::objectsWhere("sourceLocation = %@", location).valuesForKey("identifier"))
      if (!id.asString().empty()) previous.insert(id.asString());
    previousIdentifiers_ = std::move(previous);
  }

  if (KVRepositoryRules::isArchived(location) && !needsFullRefresh_ && !shouldForceRefresh_ &&
      !shouldForceReleaseRefresh_ && hasAPTPackagesFile_) {
    setDescription("No need to refresh this archived source", false);
    setProgress(1.0);
    return exitWithDescription(doneText());
  }

  int status = Reachability::reachabilityForInternetConnection()->currentReachabilityStatus();
  if (status != ReachableViaWWAN && status != ReachableViaWiFi) {
    setDescription("Source refresh task aborted, no network", true);
    std::string name = sourceName().empty() ? location : sourceName();
    return exitWithError(
        makeError(KVErrorDomain, KVErrorNoNetwork, NSLocalizedFormat("Unable to refresh \"%@\", no network available.", {name})));
  }
  setDescription(NSLocalizedFormat("Refreshing %@...", {location}), false);
  if (!followsBootstrapRule()) return;
  startDownloadingReleaseFile();
}

// Answers NO when the rule ended the run.
bool KVSourceRefresh::followsBootstrapRule() {
  const std::string location = sourceLocation();
  std::string name = sourceName().empty() ? location : sourceName();
  auto decision = KVRepositoryRules::bootstrapDecision(location, KVPlatform::jailbreakTool(),
                                                       std::atof(KVPlatform::firmwareVersion().c_str()), name);
  switch (decision.kind) {
    case KVRepositoryRules::BootstrapDecision::GoOn:
      return true;
    case KVRepositoryRules::BootstrapDecision::Refuse:
      setDescription("Source refresh task aborted, incompatible source.", true);
      KVRSources::removeSource(location);
      exitWithError(makeError(KVErrorDomain, KVErrorIncompatibleSource, decision.errorDescription));
      return false;
    case KVRepositoryRules::BootstrapDecision::Move:
      break;
  }
  // The source becomes the bootstrap repository, and this run refreshes that one: the
  // store repository's packages, list files and kept index would belong to no source.
  const std::string replacement = decision.replacement;
  auto db = store::Database::defaultDatabase();
  ErrorRef moveError = !db ? nullptr : db->write([&] {
    auto stored = db->objectForPrimaryKey(KVRSource::className(), location);
    if (!stored) return;
    KVRSource moved = KVRSource::fromObject(*stored);
    db->deleteObject(*stored);
    moved.setObjectId(0);
    moved.setLocation(replacement);
    db->addOrUpdate(moved.toObject());
    db->deleteObjects(db->objects(KVRPackageVersion::className(), "source = %@", location));
    db->deleteObjects(db->objects(KVRPackage::className(), "sourceLocation = %@", location));
  });
  if (moveError)
    KVLog("Cannot move the source %s to %s: %s", location.c_str(), replacement.c_str(),
          moveError->localizedDescription().c_str());
  KVRSources::forgetSourceFiles(location);
  KVParsingUtility::checkStatusFileWithCompletion([](ErrorRef error) {
    if (error) KVLog("The dpkg status import failed: %s", error->localizedDescription().c_str());
  });
  {
    std::lock_guard<std::mutex> lock(mutex_);
    location_ = replacement;
  }
  hasAPTPackagesFile_ = connections()->sourceLists->hasListFile(replacement, KVSourceListsManaging::Packages);
  releaseLastModified_.reset();
  packagesLastModified_.reset();
  return true;
}

// ---- The payment endpoint question

void KVSourceRefresh::checkPaymentEndpoint() {
  auto task = self();
  connections()->payment->endpointForSourceLocation(
      sourceLocation(), [task](Expected<std::optional<std::string>> answer) {
        // A question that could not be answered counts as no service, as no endpoint does.
        std::optional<std::string> endpoint = answer ? *answer : std::nullopt;
        task->queue_->async([task, endpoint] {
          task->writeSource([&](KVRSource& source) {
            source.setHasEndpoint(endpoint.has_value());
            source.setEndpoint(endpoint);
          });
          bool complete, failure;
          ErrorRef error;
          {
            std::lock_guard<std::mutex> lock(task->endpointMutex_);
            task->waitingOnEndpointCheck_ = false;
            complete = task->completeAfterEndpointCheck_;
            failure = task->pendingFailure_;
            error = task->pendingError_;
          }
          if (!complete) return;
          if (failure) task->performFailureExit(error);
          else task->performSuccessExit(task->doneText());
        });
      });
}

// ---- Ends

void KVSourceRefresh::exitWithDescription(const std::string& text) {
  {
    std::lock_guard<std::mutex> lock(endpointMutex_);
    if (waitingOnEndpointCheck_) {
      completeAfterEndpointCheck_ = true;
      pendingFailure_ = false;
      return;
    }
  }
  performSuccessExit(text);
}

void KVSourceRefresh::exitWithNetworkError(ErrorRef error) {
  {
    std::lock_guard<std::mutex> lock(endpointMutex_);
    if (waitingOnEndpointCheck_) {
      completeAfterEndpointCheck_ = true;
      pendingFailure_ = true;
      pendingError_ = error;
      return;
    }
  }
  performFailureExit(std::move(error));
}

void KVSourceRefresh::performSuccessExit(const std::string& text) {
  setDescription(text, false);
  NotificationCenter::defaultCenter().postOnMainThreadAsync(
      Notification{KVRSourceUpdatedNotification, Value(sourceLocation()), Value(), nullptr, nullptr});
  reportEnd(true, nullptr);
  finishOperation();
}

void KVSourceRefresh::performFailureExit(ErrorRef error) {
  const std::string location = sourceLocation();
  std::string message;
  if (error && error->domain == NSURLErrorDomain && error->code == NSURLErrorTimedOut) {
    message = NSLocalizedString(
        "Refresh failed, connection timeout. The repository may be down or improperly configured.");
  } else if (error) {
    message = error->localizedFailureReason();
    if (message.empty()) message = error->localizedDescription();
  } else {
    message = NSLocalizedString("Refresh encountered an unknown error");
  }
  if (error) {
    KVLog("Quillbark source refresh debug for \"%s\": %s", location.c_str(), error->localizedDescription().c_str());
  }
  writeSource([&](KVRSource& source) {
    source.setDescription(message);
    source.setLastrefresh(date_);
    source.setHasErrors(true);
  });
  NotificationCenter::defaultCenter().postOnMainThreadAsync(
      Notification{KVRSourceUpdatedNotification, Value(location), Value(), nullptr, nullptr});
  setDescription(message, true);
  // The pipeline is told of a normal end, but the run's count of failures includes it.
  if (!ended_.load()) KVPipelineManager::sharedManager().sourceRefreshFailed(this, message);
  reportEnd(true, nullptr);
  finishOperation();
}

void KVSourceRefresh::exitWithError(ErrorRef error) {
  reportEnd(false, std::move(error));
  finishOperation();
}

void KVSourceRefresh::reportEnd(bool success, ErrorRef error) {
  if (ended_.exchange(true)) return;
  if (success) KVPipelineManager::sharedManager().taskDoneWithSuccess(this);
  else KVPipelineManager::sharedManager().taskDoneWithError(this, std::move(error));
}

// ---- Status and records

void KVSourceRefresh::setDescription(const std::string& text, bool isError) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    description_ = text;
  }
  KVPipelineManager::sharedManager().taskStatusChanged(this);
  NotificationCenter::defaultCenter().postOnMainThreadAsync(
      Notification{"UpdateVerboseView", Value(), Value::dict({{"Message", text}, {"Error", isError}}), nullptr, nullptr});
}

void KVSourceRefresh::setProgress(double progress) {
  progress_.store(progress);
  KVPipelineManager::sharedManager().taskProgressChanged(this);
}

void KVSourceRefresh::writeSource(const std::function<void(KVRSource&)>& change) {
  const std::string location = sourceLocation();
  auto db = store::Database::defaultDatabase();
  if (!db) return;
  if (ErrorRef error = db->write([&] {
    auto stored = db->objectForPrimaryKey(KVRSource::className(), location);
    if (!stored) return;
    KVRSource source = KVRSource::fromObject(*stored);
    change(source);
    db->addOrUpdate(source.toObject());
  })) {
    KVLog("Cannot write the source %s: %s", location.c_str(), error->localizedDescription().c_str());
  }
}
