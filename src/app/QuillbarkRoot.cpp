#include "app/QuillbarkRoot.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>

#include "account/KVFollowedDevelopers.h"
#include "account/KVRepositoryDirectory.h"
#include "app/ApplicationInterfaceFiles.h"
#include "app/KVDownloadStatsRegister.h"
#include "app/KVQuillbarkScreenActions.h"
#include "app/KVRootScreens.h"
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

namespace {
// What the running root made, for the application delegate.
struct Running {
  QuillbarkRoot::Managers managers;
  std::shared_ptr<KVRootScreens> screens;
};
std::mutex gRunningMutex;
std::optional<Running> gRunning;

Running running(const char* user) {
  {
    std::lock_guard<std::mutex> lock(gRunningMutex);
    if (gRunning) return *gRunning;
  }
  KVLog("*** %s ran before the composition root started", user);
  std::fprintf(stderr, "quillbark: %s ran before the composition root started\n", user);
  std::abort();
}
}  // namespace

QuillbarkRoot::Managers QuillbarkRoot::standardManagers() {
  Managers managers;
  managers.sources = std::make_shared<KVRSources>();
  managers.packages = std::make_shared<KVRPackages>();
  managers.cacheUpdate = std::make_shared<KVCacheUpdateTaskMaker>();
  managers.sourceLists = std::make_shared<KVAPTSourceLists>();
  managers.payment = std::make_shared<KVRepoStoreRefreshServices>();
  managers.directory = std::make_shared<KVRepositoryDirectory>();
  managers.downloadStats = std::make_shared<KVDownloadStatsRegister>();
  // The downloads are handed the payment client and the register they use.
  managers.downloads =
      std::make_shared<KVPackageDownloads>(KVPackageDownloadServices{managers.payment, managers.downloadStats});
  managers.followedDevelopers = std::make_shared<KVFollowedDevelopersUpload>();
  return managers;
}

QuillbarkRoot::ScreensMaker QuillbarkRoot::standardScreens() {
  return [](std::shared_ptr<KVRSources> sources, std::shared_ptr<KVRPackages> packages,
            std::shared_ptr<KVApplicationActions> actions) {
    return std::make_shared<KVRootScreens>(std::move(sources), std::move(packages), std::move(actions));
  };
}

ErrorRef QuillbarkRoot::start(KVEnvironment environment, Managers managers, const ScreensMaker& makeScreens) {
  KVConnections connections;
  connections.environment = std::move(environment);
#define QUILLBARK_ROOT_CONNECT(Interface, name) connections.name = managers.name;
  KV_CONNECTED_MANAGERS(QUILLBARK_ROOT_CONNECT)
#undef QUILLBARK_ROOT_CONNECT
  if (ErrorRef error = KVConnections::install(std::move(connections))) {
    KVLog("*** Quillbark cannot start: %s", error->localizedDescription().c_str());
    return error;
  }
  UIDevice::currentDevice().setSystemVersion(KVPlatform::firmwareVersion());
  auto actions = std::make_shared<KVQuillbarkScreenActions>();
  KVApplicationActions::install(actions);
  auto screens = makeScreens(managers.sources, managers.packages, actions);
  ApplicationInterfaceFiles::registerAll(screens);
  {
    std::lock_guard<std::mutex> lock(gRunningMutex);
    gRunning = Running{std::move(managers), std::move(screens)};
  }
  KVPipelineManager::sharedManager();
  return nullptr;
}

QuillbarkRoot::Managers QuillbarkRoot::managers(const char* user) { return running(user).managers; }

std::shared_ptr<KVRootScreens> QuillbarkRoot::screens(const char* user) { return running(user).screens; }

KVScreenContext QuillbarkRoot::screenContext(const char* user) { return screens(user)->context(); }
