#include "operations/KVPackageQueue.h"

#include "core/KVPipelineManager.h"
#include "database/KVRPackages.h"
#include "operations/KVAPTManager.h"
#include "operations/KVPackageAPTOperationTask.h"

std::vector<KVRPackage> KVPackageQueue::queuedPackages() {
  return KVRPackage::objectsWhere("isInTheQueue = 1").sorted("name").all();
}

std::string KVPackageQueue::queueString() { return KVAPTManager::queueStringForKVRPackageArray(queuedPackages()); }

size_t KVPackageQueue::launchQueueActions(KVRPackages& packages, const std::string& queue, const APTDependsTree& tree) {
  KVConfirmedQueue confirmed{queue, KVAPTManager::packageNamesForTree(tree)};
  std::vector<std::string> downloads;
  for (const auto& identifier : tree.downloads) {
    if (auto record = KVRPackage::objectsWhere("identifier ==[c] %@", identifier).first())
      downloads.push_back(record->identifier());
  }
  size_t queued = downloads.empty() ? 0 : packages.downloadPackagesWithIdentifiers(downloads, confirmed);
  if (downloads.empty() && !queue.empty())
    KVPipelineManager::sharedManager().queueTask(
        std::make_shared<KVPackageAPTOperationTask>(confirmed.queueString, confirmed.packageNames));
  packages.resetPackagesQueue();
  return queued;
}
