#include "operations/KVUpdateInformationCacheTask.h"

#include "core/KVConnections.h"
#include "core/KVErrorDomain.h"
#include "core/KVPipelineManager.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "database/KVParsingUtility.h"
#include "database/KVRDevelopers.h"
#include "foundation/BlockHelpers.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/UnusedMemory.h"
#include "operations/KVAPTManager.h"
#include "operations/TasksVerboseViewController.h"

KVUpdateInformationCacheTask::KVUpdateInformationCacheTask(std::shared_ptr<const KVConnections> wired)
    : connections_(std::move(wired)), status_("Waiting for the database connection...") {}

KVUpdateInformationCacheTask::~KVUpdateInformationCacheTask() = default;

std::string KVUpdateInformationCacheTask::pipelineID() const { return KVPipelineCacheOperation; }

std::string KVUpdateInformationCacheTask::status() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return status_;
}

void KVUpdateInformationCacheTask::setStatus(const std::string& status) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    status_ = status;
  }
  KVPipelineManager::sharedManager().taskStatusChanged(this);
  updateVerboseViewWithMessage(status, false);
}

void KVUpdateInformationCacheTask::updateVerboseViewWithMessage(const std::string& message, bool isError) {
  NotificationCenter::defaultCenter().post(KVUpdateVerboseViewNotification, Value(),
                                           Value::dict({{"Message", message}, {"Error", isError}}));
}

void KVUpdateInformationCacheTask::taskStart() {
  KVLog("Starting cache refresh");
  setStatus("Setting the backup parameters...");
  auto self = std::static_pointer_cast<KVUpdateInformationCacheTask>(shared_from_this());
  // APT builds its caches from its list files and dpkg's status file, which the rest of
  // the work only reads: they are built meanwhile, on a thread of their own.
  performOnDefaultThread([self] {
    // Built already, while the refresh wrote its records, from what APT reads now.
    KVAPTCommandResult caches;
    if (KVAPTManager::takeCachesBuiltAhead()) caches.ran = true;
    else caches = KVAPTManager::commandResultForCommandAsRoot(KVAPTManager::generateCachesCommand());
    {
      std::lock_guard<std::mutex> lock(self->mutex_);
      self->caches_ = std::move(caches);
    }
    self->partEnded();
  });
  // The import answers on its own queue once its transaction is committed; the rest of
  // the work runs there. The task ends when both have run.
  KVParsingUtility::checkStatusFileWithCompletion([self](ErrorRef error) {
    if (error) updateVerboseViewWithMessage("The installed packages could not be read: " + error->localizedDescription(), true);
    self->runCacheWork();
    self->partEnded();
  });
}

void KVUpdateInformationCacheTask::runCacheWork() {
  KVRDevelopers().updateDevelopersCache();
  connections_->packages->rebuildPackagesCategoriesCache();
  auto& preferences = QuillbarkPersistentPreferences::sharedInstance();
  preferences.setObject(Value(false), "NeedsFullRefresh");
  // Written now, as the batch's start is, not a second later: the refresh is over on the
  // disk when the task ends, and nothing is left to do after it.
  preferences.saveToFile();
  connections_->sources->refreshBatchEnded();
  setStatus("Developer cache successfully updated");
}

void KVUpdateInformationCacheTask::partEnded() {
  if (--partsRunning_ > 0) return;
  // The end of a refresh: what it needed for a while goes back to the system.
  UnusedMemory::giveBack();
  KVLog("Cache refresh ended");
  progress_.store(1.0);
  KVPipelineManager::sharedManager().taskProgressChanged(this);
  KVAPTCommandResult caches;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    caches = std::move(caches_);
  }
  if (caches.succeeded()) {
    KVPipelineManager::sharedManager().taskDoneWithSuccess(this);
  } else {
    std::string reason = !caches.ran ? KVAPTManager::busyText()
                                     : "apt-cache gencaches ended with status " + std::to_string(caches.status);
    std::string message = "The package caches could not be rebuilt: " + reason;
    KVLog("%s\n%s", message.c_str(), caches.output.c_str());
    updateVerboseViewWithMessage(message + (caches.output.empty() ? "" : "\n" + caches.output), true);
    KVPipelineManager::sharedManager().taskDoneWithError(this, makeError(KVErrorDomain, KVErrorPackageToolFailed, message));
  }
  finishOperation();
}
