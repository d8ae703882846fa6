#include "app/QuillbarkRoot.h"

#include "account/KVFollowedDevelopers.h"
#include "account/KVRepositoryDirectory.h"
#include "app/ApplicationInterfaceFiles.h"
#include "app/KVDownloadStatsRegister.h"
#include "app/KVQuillbarkScreenActions.h"
#include "core/KVPipelineManager.h"
#include "core/KVPlatform.h"
#include "database/KVRPackages.h"
#include "database/KVRSources.h"
#include "foundation/Log.h"
#include "operations/KVAPTSourceLists.h"
#include "operations/KVCacheUpdateTaskMaker.h"
#include "operations/KVPackageDownloadBatch.h"
#include "payment/KVRepoStoreRefreshServices.h"
#include "uikit/UIDevice.h"

QuillbarkRoot::Managers QuillbarkRoot::standardManagers() {
  Managers managers;
  managers.sources = std::make_shared<KVRSources>();
  managers.packages = std::make_shared<KVRPackages>();
  managers.cacheUpdate = std::make_shared<KVCacheUpdateTaskMaker>();
  managers.sourceLists = std::make_shared<KVAPTSourceLists>();
  managers.payment = std::make_shared<KVRepoStoreRefreshServices>();
  managers.directory = std::make_shared<KVRepositoryDirectory>();
  managers.downloads = std::make_shared<KVPackageDownloads>();
  managers.downloadStats = std::make_shared<KVDownloadStatsRegister>();
  managers.followedDevelopers = std::make_shared<KVFollowedDevelopersUpload>();
  return managers;
}

ErrorRef QuillbarkRoot::start(KVEnvironment environment, Managers managers) {
  KVConnections connections{std::move(environment),        std::move(managers.sources),
                            std::move(managers.packages),       std::move(managers.cacheUpdate),
                            std::move(managers.sourceLists),    std::move(managers.payment),
                            std::move(managers.directory),      std::move(managers.downloads),
                            std::move(managers.downloadStats), std::move(managers.followedDevelopers)};
  if (ErrorRef error = KVConnections::install(std::move(connections))) {
    KVLog("*** Quillbark cannot start: %s", error->localizedDescription().c_str());
    return error;
  }
  UIDevice::currentDevice().setSystemVersion(KVPlatform::firmwareVersion());
  ApplicationInterfaceFiles::registerAll();
  KVApplicationActions::install(std::make_shared<KVQuillbarkScreenActions>());
  KVPipelineManager::sharedManager();
  return nullptr;
}
