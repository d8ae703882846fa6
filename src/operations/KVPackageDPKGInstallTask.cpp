#include "operations/KVPackageDPKGInstallTask.h"

#include "core/KVPipelineManager.h"
#include "foundation/Files.h"
#include "foundation/LocalizedStrings.h"

KVPackageDPKGInstallTask::KVPackageDPKGInstallTask(std::string packagePath, std::string identifier)
    : packagePath_(std::move(packagePath)), identifier_(std::move(identifier)) {}

std::string KVPackageDPKGInstallTask::pipelineID() const { return KVPipelinePackageATPInstallOperation; }

std::string KVPackageDPKGInstallTask::workDescription() const {
  return NSLocalizedFormat("installing %@", {identifier_});
}

void KVPackageDPKGInstallTask::taskStart() {
  beginCommand(NSLocalizedString("Preparing to install ...\n"));
  auto self = std::static_pointer_cast<KVPackageDPKGInstallTask>(shared_from_this());
  // The path is quoted by the APT layer, after "--": no escaping here.
  KVAPTCommandResult result = KVAPTManager::installArchive(
      packagePath_, [self](const std::string& piece, const std::string& whole, bool finished, int32_t status) {
        self->showOutput(piece);
        if (!finished) return;
        Files::removeItem(self->packagePath_);
        self->endAfterStatusImport(status, whole, "Install Completed with errors!",
                                   "DPKG returned an error while performing operations:\n", nullptr);
      });
  if (!result.ran && !result.refused) endRefusedAsBusy("Install Completed with errors!", nullptr);
}
