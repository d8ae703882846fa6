#include "app/ApplicationEnvironment.h"

#include <memory>

#include "core/ShellCommand.h"
#include "interface/ErrorViewController.h"
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
    controller->showWithTitle(card.title, card.message, 2, card.closeTitle, card.otherTitle,
                              std::move(card.otherAction));
    controller->presentFromTopPresenter();
  };
  return environment;
}
