#include "operations/KVPackageConfigureTask.h"

#include "core/KVPipelineManager.h"
#include "core/KVQueueStateNotification.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/NotificationCenter.h"
#include "operations/KVQueueRunOutcome.h"

KVPackageConfigureTask::KVPackageConfigureTask(std::string identifier, std::string name)
    : identifier_(std::move(identifier)), name_(std::move(name)) {}

std::string KVPackageConfigureTask::pipelineID() const { return KVPipelinePackageATPInstallOperation; }

std::string KVPackageConfigureTask::workDescription() const { return NSLocalizedFormat("setting up %@ again", {name_}); }

void KVPackageConfigureTask::taskStart() {
  beginCommand(NSLocalizedString("Preparing to configure ...\n"));
  before_ = KVAPTManager::dpkgRecords();
  auto self = std::static_pointer_cast<KVPackageConfigureTask>(shared_from_this());
  auto tellButtons = [identifier = identifier_] {
    NotificationCenter::defaultCenter().post(KVQueueStateNotificationName(identifier), Value(),
                                             Value::dict({{"Message", "Finished Operation"}}));
  };
  KVAPTCommandResult result = KVAPTManager::configurePackage(
      identifier_, [self, tellButtons](const std::string& piece, const std::string& whole, bool finished, int32_t status) {
        self->showOutput(piece);
        if (!finished) return;
        self->endAfterStatusImport(
            status, whole, "Configure Completed with errors!", "DPKG returned an error while performing operations:\n",
            tellButtons, "Done Configuring",
            [self](int32_t exitStatus, const std::string& output) { return self->judge(exitStatus, output); });
      });
  if (!result.ran && !result.refused) endRefusedAsBusy("Configure Completed with errors!", tellButtons);
}

// Failed: the package is named with what went wrong.
KVRunVerdict KVPackageConfigureTask::judge(int32_t exitStatus, const std::string& output) const {
  auto after = KVAPTManager::dpkgRecords();
  auto record = after.find(identifier_);
  std::string queue = identifier_ + (record == after.end() ? "" : "=" + record->second.version);
  KVQueueRunOutcome outcome = KVQueueRunOutcome::judge(
      before_, after, queue, {}, output, exitStatus,
      [this](const std::string& identifier) { return identifier == identifier_ ? name_ : identifier; });
  return {outcome.succeeded, outcome.faults, outcome.brokenBefore};
}
