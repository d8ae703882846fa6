#include "operations/KVPackageToolTask.h"

#include "core/KVErrorDomain.h"
#include "core/KVPipelineManager.h"
#include "database/KVParsingUtility.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "operations/KVPackageToolsRunNote.h"
#include "operations/KVVerboseLog.h"

KVPackageToolTask::KVPackageToolTask() : status_(NSLocalizedString("Waiting...")) {}

std::string KVPackageToolTask::taskDescription() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return status_;
}

void KVPackageToolTask::taskCancel() {
  if (!canCancel_.exchange(false)) return;
  cancel();  // one that has not started never runs
  // Cancelled before the command: nothing was done, which the pipeline counts a success.
  end(true, nullptr, nullptr);
}

void KVPackageToolTask::setStatus(const std::string& text) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    status_ = text;
  }
  KVPipelineManager::sharedManager().taskStatusChanged(this);
}

void KVPackageToolTask::setProgress(double progress) {
  progress_.store(progress);
  KVPipelineManager::sharedManager().taskProgressChanged(this);
}

void KVPackageToolTask::beginCommand(const std::string& preparingText) {
  setProgress(0.0);
  setStatus(preparingText);
  KVVerboseLog::postStatus(preparingText, false);
  canCancel_.store(false);
  KVPackageToolsRunNote::write(workDescription());
  noted_.store(true);
}

void KVPackageToolTask::showOutput(const std::string& text) {
  KVVerboseLog::StreamLine line = KVVerboseLog::classify(text);
  setStatus(line.shown);
  KVVerboseLog::postStream(line);
}

void KVPackageToolTask::endAfterStatusImport(int32_t exitStatus, const std::string& output,
                                             const std::string& failedStatus, const std::string& errorHeading,
                                             std::function<void()> afterEnd, const std::string& doneStatus,
                                             Judge judge) {
  auto self = std::static_pointer_cast<KVPackageToolTask>(shared_from_this());
  KVParsingUtility::checkStatusFileWithCompletion([self, exitStatus, output, failedStatus, errorHeading, afterEnd,
                                                   doneStatus, judge](ErrorRef importError) {
    if (importError) KVLog("The dpkg status import failed: %s", importError->localizedDescription().c_str());
    KVRunVerdict verdict;
    verdict.succeeded = exitStatus == 0;
    if (!verdict.succeeded && judge) verdict = judge(exitStatus, output);
    if (verdict.succeeded) {
      for (const auto& note : verdict.notes) KVVerboseLog::postStatus(note, false);
      self->setProgress(0.0);
      self->setStatus(NSLocalizedString(doneStatus));
      KVVerboseLog::postStatus(NSLocalizedString(doneStatus), false);
      self->end(true, nullptr, afterEnd);
      return;
    }
    // Error lines run on in the log: each ends its own line.
    for (const auto& fault : verdict.faults) KVVerboseLog::postStatus(fault + "\n", true);
    self->setStatus(NSLocalizedString(failedStatus));
    KVVerboseLog::postStatus(NSLocalizedString(failedStatus), true);
    std::string heading = NSLocalizedString(errorHeading);
    for (const auto& fault : verdict.faults) heading += fault + "\n";
    std::string text = KVVerboseLog::errorText(heading, output);
    self->end(false, makeError(KVErrorDomain, KVErrorPackageToolFailed, text), afterEnd);
  });
}

void KVPackageToolTask::endRefusedAsBusy(const std::string& failedStatus, std::function<void()> afterEnd) {
  KVLog("%s: %s", taskID().c_str(), KVAPTManager::busyText().c_str());
  setStatus(NSLocalizedString(failedStatus));
  KVVerboseLog::postStatus(KVAPTManager::busyText(), true);
  end(false, makeError(KVErrorDomain, KVErrorPackageToolFailed, KVAPTManager::busyText()), afterEnd);
}

void KVPackageToolTask::end(bool success, ErrorRef error, const std::function<void()>& afterEnd) {
  if (ended_.exchange(true)) return;
  canCancel_.store(false);
  // The run and the reading back of its outcome are over: nothing is left to wait for.
  if (noted_.exchange(false)) KVPackageToolsRunNote::clear();
  if (success) KVPipelineManager::sharedManager().taskDoneWithSuccess(this);
  else KVPipelineManager::sharedManager().taskDoneWithError(this, std::move(error));
  if (afterEnd) afterEnd();
  finishOperation();
}
