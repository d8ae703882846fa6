#include "app/ApplicationEnvironment.h"

#include <memory>

#include "core/ShellCommand.h"
#include "interface/ErrorViewController.h"
#include "security/LAContext.h"
#include "uikit/UIApplication.h"
#include "uikit/UITabBarController.h"
#include "uikit/UIWindow.h"

KVEnvironment applicationEnvironment() {
  KVEnvironment environment;
  environment.runCommand = [](const std::string& line) { return ShellCommand::runAndWait(line); };
  environment.beginBackgroundTask = [](std::function<void()> expiry) -> uint64_t {
    return UIApplication::sharedApplication().beginBackgroundTaskWithExpirationHandler(std::move(expiry),
                                                                                     "KVPipelineTask");
  };
  environment.endBackgroundTask = [](uint64_t grant) {
    UIApplication::sharedApplication().endBackgroundTask(static_cast<UIBackgroundTaskIdentifier>(grant));
  };
  environment.setIdleTimerDisabled = [](bool disabled) {
    UIApplication::sharedApplication().setIdleTimerDisabled(disabled);
  };
  environment.presentAlertCard = [](KVAlertCard card) {
    auto controller = std::make_shared<ErrorViewController>();
    int buttons = card.otherTitle.empty() ? 1 : 2;
    controller->showWithTitle(card.title, card.message, buttons, card.closeTitle, card.otherTitle,
                              std::move(card.otherAction));
    controller->presentFromTopPresenter();
  };
  environment.showUpdateCount = [](uint64_t count) {
    UIApplication& application = UIApplication::sharedApplication();
    application.setApplicationIconBadgeNumber(static_cast<long>(count));
    UIWindow* window = application.keyWindow();
    auto* tabs = window ? dynamic_cast<UITabBarController*>(window->rootViewController()) : nullptr;
    if (!tabs || tabs->viewControllers().size() < 2) return;
    tabs->viewControllers()[1]->tabBarItem()->setBadgeValue(count > 0 ? std::optional<std::string>(std::to_string(count))
                                                                      : std::nullopt);
  };
  environment.authenticateDeviceOwner = [](const std::string& reason,
                                           std::function<void(KVOwnerAuthentication)> reply) {
    LAContext context;
    if (!context.canEvaluatePolicy(LAContext::DeviceOwnerAuthentication)) return reply(KVOwnerAuthentication::Unavailable);
    context.evaluatePolicy(LAContext::DeviceOwnerAuthentication, reason, [reply](bool success, ErrorRef) {
      reply(success ? KVOwnerAuthentication::Succeeded : KVOwnerAuthentication::Failed);
    });
  };
  return environment;
}
