#include "app/ApplicationServices.h"

#include "core/KVPipelineManager.h"
#include "core/KVPlatform.h"
#include "interface/ErrorViewController.h"
#include "uikit/UIApplication.h"
#include "uikit/UIDevice.h"

void wireApplicationServices() {
  UIDevice::currentDevice().setSystemVersion(KVPlatform::firmwareVersion());
  ErrorViewController::registerInterfaceFile();

  auto& services = KVPipelineManager::sharedManager().services();
  services.beginBackgroundTask = [](std::function<void()> expiry) -> uint64_t {
    return UIApplication::sharedApplication().beginBackgroundTaskWithExpirationHandler(std::move(expiry),
                                                                                     "KVPipelineTask");
  };
  services.endBackgroundTask = [](uint64_t grant) {
    UIApplication::sharedApplication().endBackgroundTask(static_cast<UIBackgroundTaskIdentifier>(grant));
  };
  services.setIdleTimerDisabled = [](bool disabled) {
    UIApplication::sharedApplication().setIdleTimerDisabled(disabled);
  };
  services.presentPostInstallAlert = [](const std::string& title, const std::string& message,
                                        const std::string& closeTitle, const std::string& otherTitle,
                                        std::function<void()> otherAction) {
    auto card = std::make_shared<ErrorViewController>();
    card->showWithTitle(title, message, 2, closeTitle, otherTitle, std::move(otherAction));
    card->presentFromTopPresenter();
  };
}
