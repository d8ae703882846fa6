#include "app/QuillbarkRoot.h"

#include "app/CacheUpdateTaskStandIn.h"
#include "app/PackagesManagerStandIn.h"
#include "app/SourcesManagerStandIn.h"
#include "core/KVPipelineManager.h"
#include "core/KVPlatform.h"
#include "foundation/Log.h"
#include "interface/ErrorViewController.h"
#include "uikit/UIDevice.h"

QuillbarkRoot::Managers QuillbarkRoot::standardManagers() {
  Managers managers;
  managers.sources = std::make_shared<SourcesManagerStandIn>();
  managers.packages = std::make_shared<PackagesManagerStandIn>();
  managers.cacheUpdate = std::make_shared<CacheUpdateTaskStandIn>();
  return managers;
}

ErrorRef QuillbarkRoot::start(KVEnvironment environment, Managers managers) {
  KVConnections connections{std::move(environment), std::move(managers.sources), std::move(managers.packages),
                            std::move(managers.cacheUpdate)};
  if (ErrorRef error = KVConnections::install(std::move(connections))) {
    KVLog("*** Quillbark cannot start: %s", error->localizedDescription().c_str());
    return error;
  }
  UIDevice::currentDevice().setSystemVersion(KVPlatform::firmwareVersion());
  ErrorViewController::registerInterfaceFile();
  KVPipelineManager::sharedManager();
  return nullptr;
}
