#include "app/ApplicationEnvironment.h"

#include <memory>

#include "core/ShellCommand.h"
#include "interface/ErrorViewController.h"
#include "security/LAContext.h"
#include "uikit/UIApplication.h"

KVEnvironment applicationEnvironment() {
  KVEnvironment environment;
  environment.runCommand = [](const std::string& line) { ShellCommand::runAndWait(line); };
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
