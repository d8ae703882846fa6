#pragma once
// The application: its delegate, windows, URLs, quick actions, badge, idle timer,
// background-task grants and alternate icons. Calls that other threads make (grants,
// the idle timer, opening URLs) are safe from any thread.
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "foundation/Value.h"
#include "uikit/UITraitCollection.h"

class UIApplication;
class UIViewController;
class UIWindow;

inline constexpr const char* UIApplicationDidBecomeActiveNotification = "UIApplicationDidBecomeActiveNotification";
inline constexpr const char* UIApplicationWillResignActiveNotification = "UIApplicationWillResignActiveNotification";
inline constexpr const char* UIApplicationDidEnterBackgroundNotification = "UIApplicationDidEnterBackgroundNotification";
inline constexpr const char* UIApplicationWillEnterForegroundNotification = "UIApplicationWillEnterForegroundNotification";
inline constexpr const char* UIApplicationWillTerminateNotification = "UIApplicationWillTerminateNotification";
inline constexpr const char* UIApplicationOpenURLOptionsSourceApplicationKey = "UIApplicationOpenURLOptionsSourceApplicationKey";

enum UIApplicationState : long { UIApplicationStateActive = 0, UIApplicationStateInactive = 1, UIApplicationStateBackground = 2 };

using UIBackgroundTaskIdentifier = unsigned long;
inline constexpr UIBackgroundTaskIdentifier UIBackgroundTaskInvalid = 0;

// A home-screen quick action.
struct UIApplicationShortcutItem {
  std::string type;
  std::string localizedTitle;
  std::string localizedSubtitle;
  std::string iconName;  // a system icon type name or an image name
  Value userInfo;
};

class UIApplicationDelegate {
 public:
  virtual ~UIApplicationDelegate() = default;
  virtual bool applicationDidFinishLaunchingWithOptions(UIApplication&, const Value& /*options*/) { return true; }
  virtual void applicationDidBecomeActive(UIApplication&) {}
  virtual void applicationWillResignActive(UIApplication&) {}
  virtual void applicationDidEnterBackground(UIApplication&) {}
  virtual void applicationWillEnterForeground(UIApplication&) {}
  virtual void applicationWillTerminate(UIApplication&) {}
  // `options` holds UIApplicationOpenURLOptionsSourceApplicationKey.
  virtual bool applicationOpenURL(UIApplication&, const std::string& /*url*/, const Value& /*options*/) { return false; }
  virtual void applicationPerformActionForShortcutItem(UIApplication&, const UIApplicationShortcutItem&,
                                                       std::function<void(bool)> completion) {
    completion(false);
  }
};

class UIApplication {
 public:
  static UIApplication& sharedApplication();

  UIApplicationDelegate* delegate() const { return delegate_; }
  void setDelegate(UIApplicationDelegate* delegate) { delegate_ = delegate; }
  // Finishes launching with the delegate, then becomes active.
  bool launch(UIApplicationDelegate* delegate, const Value& options = {});
  UIApplicationState applicationState() const { return state_; }
  void becomeActive();
  void resignActive();
  void enterBackground();
  void enterForeground();
  void terminate();

  UIWindow* keyWindow() const;
  UIViewController* topPresenter() const;

  // Outgoing URLs: recorded; the completion tells whether an installed application
  // takes the scheme, on the next turn of the main loop.
  void openURL(const std::string& url, const Value& options = {}, std::function<void(bool)> completion = {});
  bool canOpenURL(const std::string& url) const;
  void setInstalledURLSchemes(std::set<std::string> schemes);
  std::vector<std::string> openedURLs() const;
  // An incoming URL from another application (by its identifier), handed to the delegate.
  bool deliverOpenURL(const std::string& url, const std::string& sourceApplication);

  const std::vector<UIApplicationShortcutItem>& shortcutItems() const { return shortcutItems_; }
  void setShortcutItems(std::vector<UIApplicationShortcutItem> items) { shortcutItems_ = std::move(items); }
  // A person choosing a quick action by its type; answers what the delegate completed
  // with by then (false when it completes later).
  std::optional<bool> performShortcutItemByUser(const std::string& type);

  // The status bar's spinning sign of network work.
  bool isNetworkActivityIndicatorVisible() const { return networkActivity_; }
  void setNetworkActivityIndicatorVisible(bool visible) { networkActivity_ = visible; }
  long applicationIconBadgeNumber() const { return badge_; }
  void setApplicationIconBadgeNumber(long number) { badge_ = number; }
  bool isIdleTimerDisabled() const;
  void setIdleTimerDisabled(bool disabled);
  void registerForRemoteNotifications();
  long remoteNotificationRegistrations() const { return remoteRegistrations_; }

  UIBackgroundTaskIdentifier beginBackgroundTaskWithExpirationHandler(std::function<void()> handler,
                                                                      const std::string& name = {});
  void endBackgroundTask(UIBackgroundTaskIdentifier identifier);
  size_t activeBackgroundTaskCount() const;
  double backgroundTimeRemaining() const;
  // Runs the expiration handlers of every grant still open (what the system does when
  // the background time runs out).
  void expireBackgroundTasks();

  bool supportsAlternateIcons() const { return !alternateIcons_.empty(); }
  const std::optional<std::string>& alternateIconName() const { return alternateIconName_; }
  // The completion gets an error text for an unknown icon, on the next turn.
  void setAlternateIconName(const std::optional<std::string>& name,
                            std::function<void(std::optional<std::string> error)> completion = {});
  void setAvailableAlternateIconNames(std::set<std::string> names) { alternateIcons_ = std::move(names); }

  // The system's light or dark appearance; every window's screens are told.
  void setSystemUserInterfaceStyle(UIUserInterfaceStyle style);

  // Back to a fresh application (tests).
  void reset();

 private:
  UIApplication();
  UIApplicationDelegate* delegate_ = nullptr;
  UIApplicationState state_ = UIApplicationStateInactive;
  std::vector<UIApplicationShortcutItem> shortcutItems_;
  long badge_ = 0;
  bool networkActivity_ = false;
  long remoteRegistrations_ = 0;
  std::optional<std::string> alternateIconName_;
  std::set<std::string> alternateIcons_;

  mutable std::mutex mutex_;
  bool idleTimerDisabled_ = false;
  std::set<std::string> schemes_;
  std::vector<std::string> opened_;
  struct Grant {
    UIBackgroundTaskIdentifier id;
    std::string name;
    std::function<void()> handler;
  };
  std::vector<Grant> grants_;
  UIBackgroundTaskIdentifier nextGrant_ = 1;
};
