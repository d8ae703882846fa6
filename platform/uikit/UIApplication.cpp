#include "uikit/UIApplication.h"

#include "foundation/NotificationCenter.h"
#include "foundation/RunLoop.h"
#include "uikit/UIScreen.h"
#include "uikit/UIWindow.h"

UIApplication::UIApplication() { reset(); }

UIApplication& UIApplication::sharedApplication() {
  static UIApplication app;
  return app;
}

void UIApplication::reset() {
  delegate_ = nullptr;
  state_ = UIApplicationStateInactive;
  shortcutItems_.clear();
  badge_ = 0;
  networkActivity_ = false;
  remoteRegistrations_ = 0;
  alternateIconName_.reset();
  alternateIcons_ = {"LegacyIcon"};
  std::lock_guard<std::mutex> lock(mutex_);
  idleTimerDisabled_ = false;
  schemes_ = {"http", "https", "mailto", "tel", "sms"};
  opened_.clear();
  grants_.clear();
}

bool UIApplication::launch(UIApplicationDelegate* delegate, const Value& options) {
  delegate_ = delegate;
  bool ok = delegate_ ? delegate_->applicationDidFinishLaunchingWithOptions(*this, options) : true;
  becomeActive();
  return ok;
}

void UIApplication::becomeActive() {
  if (state_ == UIApplicationStateActive) return;
  state_ = UIApplicationStateActive;
  if (delegate_) delegate_->applicationDidBecomeActive(*this);
  NotificationCenter::defaultCenter().post(UIApplicationDidBecomeActiveNotification);
}

void UIApplication::resignActive() {
  if (state_ != UIApplicationStateActive) return;
  state_ = UIApplicationStateInactive;
  if (delegate_) delegate_->applicationWillResignActive(*this);
  NotificationCenter::defaultCenter().post(UIApplicationWillResignActiveNotification);
}

void UIApplication::enterBackground() {
  if (state_ == UIApplicationStateBackground) return;
  resignActive();
  state_ = UIApplicationStateBackground;
  if (delegate_) delegate_->applicationDidEnterBackground(*this);
  NotificationCenter::defaultCenter().post(UIApplicationDidEnterBackgroundNotification);
}

void UIApplication::enterForeground() {
  if (state_ != UIApplicationStateBackground) return;
  state_ = UIApplicationStateInactive;
  if (delegate_) delegate_->applicationWillEnterForeground(*this);
  NotificationCenter::defaultCenter().post(UIApplicationWillEnterForegroundNotification);
  becomeActive();
}

void UIApplication::terminate() {
  if (delegate_) delegate_->applicationWillTerminate(*this);
  NotificationCenter::defaultCenter().post(UIApplicationWillTerminateNotification);
}

UIWindow* UIApplication::keyWindow() const { return UIWindow::keyWindow(); }

UIViewController* UIApplication::topPresenter() const {
  UIWindow* window = keyWindow();
  return window ? window->topPresenter() : nullptr;
}

namespace {
std::string schemeOf(const std::string& url) {
  auto colon = url.find(':');
  if (colon == std::string::npos || colon == 0) return {};
  std::string scheme = url.substr(0, colon);
  for (char& c : scheme) c = char(std::tolower(static_cast<unsigned char>(c)));
  return scheme;
}
}  // namespace

bool UIApplication::canOpenURL(const std::string& url) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return schemes_.count(schemeOf(url)) > 0;
}

void UIApplication::setInstalledURLSchemes(std::set<std::string> schemes) {
  std::lock_guard<std::mutex> lock(mutex_);
  schemes_ = std::move(schemes);
}

void UIApplication::openURL(const std::string& url, const Value&, std::function<void(bool)> completion) {
  bool ok = canOpenURL(url);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    opened_.push_back(url);
  }
  if (completion) RunLoop::main().post([completion, ok] { completion(ok); });
}

std::vector<std::string> UIApplication::openedURLs() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return opened_;
}

bool UIApplication::deliverOpenURL(const std::string& url, const std::string& sourceApplication) {
  if (!delegate_) return false;
  return delegate_->applicationOpenURL(*this, url,
                                       Value::dict({{UIApplicationOpenURLOptionsSourceApplicationKey, sourceApplication}}));
}

std::optional<bool> UIApplication::performShortcutItemByUser(const std::string& type) {
  for (auto& item : shortcutItems_) {
    if (item.type != type) continue;
    // The delegate may keep the completion and call it later, after this returns.
    auto result = std::make_shared<std::optional<bool>>();
    if (delegate_) delegate_->applicationPerformActionForShortcutItem(*this, item, [result](bool ok) { *result = ok; });
    return result->value_or(false);
  }
  return std::nullopt;
}

bool UIApplication::isIdleTimerDisabled() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return idleTimerDisabled_;
}

void UIApplication::setIdleTimerDisabled(bool disabled) {
  std::lock_guard<std::mutex> lock(mutex_);
  idleTimerDisabled_ = disabled;
}

void UIApplication::registerForRemoteNotifications() { ++remoteRegistrations_; }

UIBackgroundTaskIdentifier UIApplication::beginBackgroundTaskWithExpirationHandler(std::function<void()> handler,
                                                                                    const std::string& name) {
  std::lock_guard<std::mutex> lock(mutex_);
  UIBackgroundTaskIdentifier id = nextGrant_++;
  grants_.push_back({id, name, std::move(handler)});
  return id;
}

void UIApplication::endBackgroundTask(UIBackgroundTaskIdentifier identifier) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::erase_if(grants_, [&](const Grant& g) { return g.id == identifier; });
}

size_t UIApplication::activeBackgroundTaskCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return grants_.size();
}

double UIApplication::backgroundTimeRemaining() const { return state_ == UIApplicationStateBackground ? 180 : 1e9; }

void UIApplication::expireBackgroundTasks() {
  std::vector<Grant> grants;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    grants = grants_;
  }
  for (auto& g : grants)
    if (g.handler) g.handler();
}

void UIApplication::setAlternateIconName(const std::optional<std::string>& name,
                                         std::function<void(std::optional<std::string>)> completion) {
  std::optional<std::string> error;
  if (name && !alternateIcons_.count(*name)) error = "The requested icon is not available: " + *name;
  else alternateIconName_ = name;
  if (completion) RunLoop::main().post([completion, error] { completion(error); });
}

void UIApplication::setSystemUserInterfaceStyle(UIUserInterfaceStyle style) {
  UIScreen::mainScreen().setSystemUserInterfaceStyle(style);
  auto windows = UIWindow::allWindows();
  for (UIWindow* w : windows) w->updateTraits();
}
