#include "operations/KVPackageQueue.h"

#include "core/KVPipelineManager.h"
#include "database/KVRPackages.h"
#include "foundation/Log.h"
#include "operations/KVAPTManager.h"
#include "operations/KVPackageAPTOperationTask.h"

std::vector<KVRPackage> KVPackageQueue::queuedPackages() {
  return KVRPackage::objectsWhere("isInTheQueue = 1").sorted("name").all();
}

std::string KVPackageQueue::queueString() { return KVAPTManager::queueStringForKVRPackageArray(queuedPackages()); }

size_t KVPackageQueue::launchQueueActions(KVRPackages& packages, const std::string& queue, const APTDependsTree& tree,
                                          const std::vector<KVLocalArchive>& archives) {
  KVConfirmedQueue confirmed{queue, KVAPTManager::packageNamesForTree(tree), archives, tree.allowsHeldChanges};
  auto isArchive = [&](const std::string& identifier) {
    for (const auto& archive : archives)
      if (archive.identifier == identifier) return true;
    return false;
  };
  for (const auto& archive : archives) confirmed.packageNames[archive.identifier] = archive.name;
  std::vector<std::string> downloads;
  for (const auto& identifier : tree.downloads) {
    if (isArchive(identifier)) continue;  // installed from its file, not fetched
    if (auto record = KVRPackage::objectsWhere("identifier ==[c] %@", identifier).first())
      downloads.push_back(record->identifier());
  }
  size_t queued = downloads.empty() ? 0 : packages.downloadPackagesWithIdentifiers(downloads, confirmed);
  if (downloads.empty() && !confirmed.isEmpty())
    KVPipelineManager::sharedManager().queueTask(std::make_shared<KVPackageAPTOperationTask>(confirmed));
  // At once: the card and the buttons read the queue as soon as the screen has gone.
  if (ErrorRef error = packages.clearQueueNow())
    KVLog("The queue was started but is still marked: %s", error->localizedDescription().c_str());
  return queued;
}
