// The application delegate's end of every task: the end-of-task sounds, and a failed
// task's error turned into a message for the person (a local notification or an alert
// card, never the same error object twice); and the local notifications themselves.
#include "app/KVQuillbark.h"

#include "account/KVNewsRetrieval.h"
#include "core/KVErrorDomain.h"
#include "core/KVPipelineManager.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "foundation/BlockHelpers.h"
#include "foundation/Bundle.h"
#include "foundation/Dispatch.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "foundation/RunLoop.h"
#include "interface/ErrorViewController.h"
#include "system/AVAudioPlayer.h"
#include "uikit/UIAlertController.h"
#include "uikit/UIApplication.h"
#include "uikit/UINib.h"

namespace {
constexpr const char* kSupportAddress = "support@korvale.me";

bool playsSounds() { return QuillbarkPersistentPreferences::sharedInstance().boolForKey("PlaySounds"); }

std::string resource(const std::string& name) { return Bundle::main().resourcePath() + "/" + name; }

}  // namespace

ErrorRef KVQuillbark::describedError(const ErrorRef& error) {
  if (!error || error->domain != KVErrorDomain || error->userInfo.contains(NSLocalizedDescriptionKey)) return error;
  const std::string code = std::to_string(error->code);
  std::string fallback = LocalizedStrings::fillPlaceholders(
      NSLocalizedString("Quillbark Error #%ld. Please report the error code to Korvale at ") + kSupportAddress +
          " so we can provide a better description for it.",
      {code});
  // The table's entry for the code, whose "%@" takes the package; a missing entry reads
  // as its key.
  std::string entry = NSLocalizedStringFromTable(code, "Errors");
  std::string text = entry == code ? fallback : entry;
  const Value& info = error->userInfo;
  std::string package = info["package"].isString() ? info["package"].asString()
                        : info["packageID"].isString() ? info["packageID"].asString() : "";
  Value rebuilt = info.isDictionary() ? info : Value(Value::Dictionary{});
  // The text (which may carry a server's words through the package) is never a format.
  rebuilt.set(NSLocalizedDescriptionKey, LocalizedStrings::fillPlaceholders(text, {package}));
  return makeError(error->domain, error->code, rebuilt);
}

void KVQuillbark::taskDone(const Notification& notification) {
  AVAudioPlayer success(resource("task_success.aiff")), failure(resource("task_fail.aiff"));
  success.prepareToPlay();
  failure.prepareToPlay();
  const bool packageOps = notification.userInfo[KVPipelineUserInfoPipelineID].asString() == KVPipelinePackageOperation;
  if (notification.userInfo[KVPipelineUserInfoSuccess].asBool()) {
    if (playsSounds() && packageOps) success.play();
    return;
  }
  if (playsSounds() && packageOps) failure.play();
  // A task that failed without an error value has nothing to tell.
  if (!notification.error) return;
  ErrorRef error = describedError(notification.error);
  if (error.get() == lastShownError_.get()) return;
  lastShownError_ = error;
  const std::string text = error->localizedDescription();
  if (QuillbarkPersistentPreferences::sharedInstance().boolForKey("ShowNotificationsInsteadOfErrorAlerts")) {
    sendNotificationWithTitle(NSLocalizedString("Error"), text, false);
    return;
  }
  auto card = std::make_shared<ErrorViewController>();
  card->showWithTitle(NSLocalizedString("Error"), text, 1, NSLocalizedString("OK"), std::nullopt, std::string());
  card->presentFromTopPresenter();
}

// ---- The news check

void KVQuillbark::checkForNews() {
  KVNewsRetrieval::instance().fetchNewsWithCompletionHandler(
      [](std::optional<std::string>) { DispatchQueue::mainQueue().async([] { sharedQuillbark().newsChecked(); }); });
}

void KVQuillbark::newsChecked() {
  if (!newsTimer_) newsTimer_ = RunLoop::main().addTimer(120, [] { sharedQuillbark().checkForNews(); }, 120);
  auto news = KVNewsRetrieval::instance().news();
  const int64_t count = news ? int64_t(news->size()) : 0;
  auto& preferences = QuillbarkPersistentPreferences::sharedInstance();
  if (count <= preferences.integerForKey("NewsCount")) return;
  preferences.setObject(Value(count), "NewsCount");
  newsNotification_ = true;
  sendNotificationWithTitle(NSLocalizedString("News"),
                            NSLocalizedString("New messages from Korvale are available. Click here to check the News tab!"),
                            false);
}

// ---- Local notifications

void KVQuillbark::registerToSendNotifications() {
  auto& center = UNUserNotificationCenter::currentNotificationCenter();
  center.setDelegate(this);
  center.requestAuthorizationWithOptions(
      UNAuthorizationOptionAlert | UNAuthorizationOptionSound | UNAuthorizationOptionBadge,
      [](bool granted, ErrorRef error) {
        if (error) KVLog("Error: Notifications permission failed %s", error->localizedDescription().c_str());
        else KVLog(granted ? "Notifications permission was granted." : "Notifications permission was denied.");
      });
}

void KVQuillbark::sendNotificationWithTitle(const std::string& title, const std::string& body, bool alsoSetsBadge) {
  UNUserNotificationCenter::currentNotificationCenter().getNotificationSettingsWithCompletionHandler(
      [title, body, alsoSetsBadge](UNAuthorizationStatus status) {
        DispatchQueue::mainQueue().async([title, body, alsoSetsBadge, status] {
          sharedQuillbark().postNotification(status, title, body, alsoSetsBadge);
        });
      });
}

void KVQuillbark::postNotification(UNAuthorizationStatus status, const std::string& title, const std::string& body,
                                   bool alsoSetsBadge) {
  if (status == UNAuthorizationStatusAuthorized) {
    UNNotificationRequest request;
    request.identifier = Bundle::main().bundleIdentifier();
    request.title = title;
    request.body = body;
    request.sound = true;
    if (alsoSetsBadge) request.badge = UIApplication::sharedApplication().applicationIconBadgeNumber();
    request.triggerSeconds = 1.0;
    UNUserNotificationCenter::currentNotificationCenter().addNotificationRequest(std::move(request), [](ErrorRef error) {
      if (error) KVLog("Notification Error: %s", error->localizedDescription().c_str());
    });
    return;
  }
  if (!newsNotification_) return;
  auto alert = UIAlertController::alertControllerWithTitle(title, body, UIAlertControllerStyleAlert);
  alert->addAction(UIAlertAction::actionWithTitle(NSLocalizedString("Open News"), UIAlertActionStyleDefault,
                                                  [](UIAlertAction&) { sharedQuillbark().showNewsVC(); }));
  alert->addAction(UIAlertAction::actionWithTitle(NSLocalizedString("Cancel"), UIAlertActionStyleCancel));
  if (UIViewController* presenter = UIApplication::sharedApplication().topPresenter())
    presenter->presentViewController(alert, true);
}

void KVQuillbark::userNotificationCenterWillPresentNotification(const UNNotificationRequest&,
                                                                 std::function<void(unsigned long)> completion) {
  completion(UNNotificationPresentationOptionBadge | UNNotificationPresentationOptionSound |
             UNNotificationPresentationOptionAlert);
}

void KVQuillbark::userNotificationCenterDidReceiveNotificationResponse(const UNNotificationRequest&,
                                                                       std::function<void()> completion) {
  performOnMainThread([completion] {
    KVQuillbark& delegate = sharedQuillbark();
    if (delegate.newsNotification_.exchange(false)) delegate.showNewsVC();
    else if (delegate.sourceNotification_.exchange(false)) delegate.showNewSourcePackages();
    completion();
  });
}
