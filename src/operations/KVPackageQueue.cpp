#include "operations/KVPackageQueue.h"

#include "core/KVPipelineManager.h"
#include "database/KVRPackages.h"
#include "operations/KVAPTManager.h"
#include "operations/KVPackageAPTOperationTask.h"

std::vector<KVRPackage> KVPackageQueue::queuedPackages() {
  return KVRPackage::objectsWhere("isInTheQueue = 1").sorted("name").all();
}

std::string KVPackageQueue::rememberQueue() {
  auto queued = queuedPackages();
  if (queued.empty()) return {};
  std::string queue = KVAPTManager::queueStringForKVRPackageArray(queued);
  KVAPTManager::setQueue(queue);
  return queue;
}

size_t KVPackageQueue::launchQueueActions(const APTDependsTree& tree) {
  KVAPTManager::setPackageNamesForKeysUsingTree(tree);
  auto packages = KVRPackages::connected();
  std::vector<std::string> downloads;
  for (const auto& identifier : tree.downloads) {
    if (auto record = KVRPackage::objectsWhere("identifier ==[c] %@", identifier).first())
      downloads.push_back(record->identifier());
  }
  size_t queued = downloads.empty() ? 0 : packages->downloadPackagesWithIdentifiers(downloads);
  if (downloads.empty() && !KVAPTManager::queue().empty())
    KVPipelineManager::sharedManager().queueTask(std::make_shared<KVPackageAPTOperationTask>(KVAPTManager::queue()));
  packages->resetPackagesQueue();
  return queued;
}
