#include "account/KVBackupQuillbarkSetupTask.h"

#include "account/KVSetupBackup.h"
#include "core/KVPipelineManager.h"
#include "foundation/Dispatch.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/NotificationCenter.h"

KVBackupQuillbarkSetupTask::KVBackupQuillbarkSetupTask(int64_t userID, std::vector<std::string> configuredSources,
                                                       std::vector<std::string> installedPackages)
    : userID_(userID), sources_(std::move(configuredSources)), packages_(std::move(installedPackages)) {}

std::string KVBackupQuillbarkSetupTask::pipelineID() const { return KVPipelineSynchronization; }

std::string KVBackupQuillbarkSetupTask::status() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return status_;
}

void KVBackupQuillbarkSetupTask::setStatus(const std::string& status) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    status_ = status;
  }
  KVPipelineManager::sharedManager().taskStatusChanged(this);
  updateVerboseViewWithMessage(status, false);
}

void KVBackupQuillbarkSetupTask::updateVerboseViewWithMessage(const std::string& message, bool isError) {
  NotificationCenter::defaultCenter().post("UpdateVerboseView", Value(),
                                           Value::dict({{"Message", message}, {"Error", isError}}));
}

void KVBackupQuillbarkSetupTask::taskStart() {
  auto self = std::static_pointer_cast<KVBackupQuillbarkSetupTask>(shared_from_this());
  setStatus("Setting the backup parameters...");
  if (userID_ == 0) {
    DispatchQueue::mainQueue().async([self] { self->finishWithResult(NSLocalizedString("You aren't logged in")); });
    return;
  }
  setStatus("Uploading the backup...");
  KVSetupBackup::upload(userID_, sources_, packages_, [self](Expected<std::string> reply) {
    std::string result;
    if (!reply) result = reply.error()->localizedDescription();
    else if (*reply == KVSetupBackup::kRefusal)
      result = NSLocalizedString("There was an error during the backup upload process, contact us or retry later.");
    else result = NSLocalizedString("Quillbark setup successfully saved.");
    DispatchQueue::mainQueue().async([self, result] { self->finishWithResult(result); });
  });
}

void KVBackupQuillbarkSetupTask::finishWithResult(const std::string& result) {
  setStatus(result);
  progress_ = 1.0;
  KVPipelineManager& pipeline = KVPipelineManager::sharedManager();
  pipeline.taskProgressChanged(this);
  // Scheduled, not posted: the pipeline hears of the end first.
  DispatchQueue::mainQueue().async([result] {
    NotificationCenter::defaultCenter().post(KVQuillbarkSetupBackupDoneNotification, Value(),
                                             Value::dict({{"title", kTitle}, {"message", result}}));
  });
  pipeline.taskDoneWithSuccess(this);
  finishOperation();
}
