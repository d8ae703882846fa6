// The application's life as the system drives it: launching, going to the background
// and back, quick actions, URLs from other applications, icons and the system's look.
#include <gtest/gtest.h>

#include "foundation/NotificationCenter.h"
#include "support/UIDriver.h"
#include "uikit/UIApplication.h"
#include "uikit/UIScreen.h"

namespace {
using Log = std::vector<std::string>;

class Delegate : public UIApplicationDelegate {
 public:
  Log log;
  std::function<void(bool)> keptCompletion;
  bool applicationDidFinishLaunchingWithOptions(UIApplication&, const Value&) override {
    log.push_back("launched");
    return true;
  }
  void applicationDidBecomeActive(UIApplication&) override { log.push_back("active"); }
  void applicationWillResignActive(UIApplication&) override { log.push_back("resign"); }
  void applicationDidEnterBackground(UIApplication&) override { log.push_back("background"); }
  void applicationWillEnterForeground(UIApplication&) override { log.push_back("foreground"); }
  bool applicationOpenURL(UIApplication&, const std::string& url, const Value& options) override {
    log.push_back("open " + url + " from " + options[UIApplicationOpenURLOptionsSourceApplicationKey].asString());
    return url.rfind("quillbark://", 0) == 0;
  }
  void applicationPerformActionForShortcutItem(UIApplication&, const UIApplicationShortcutItem& item,
                                               std::function<void(bool)> completion) override {
    log.push_back("shortcut " + item.type);
    if (item.type == "later") keptCompletion = std::move(completion);
    else completion(true);
  }
};

class Screen : public UIViewController {
 public:
  Log styles;
  void traitCollectionDidChange(const UITraitCollection&) override {
    styles.push_back(traitCollection().userInterfaceStyle == UIUserInterfaceStyleDark ? "dark" : "light");
  }
};
}  // namespace

TEST(ApplicationLifeTest, TheDelegateAndObserversHearTheLifeInOrder) {
  UIDriver ui;
  auto& app = UIApplication::sharedApplication();
  Delegate delegate;
  Log notified;
  auto token = NotificationCenter::defaultCenter().addObserver(UIApplicationDidEnterBackgroundNotification,
                                                                [&](const Notification&) { notified.push_back("background"); });
  ASSERT_TRUE(app.launch(&delegate));
  EXPECT_EQ(app.applicationState(), UIApplicationStateActive);
  app.enterBackground();
  EXPECT_EQ(app.applicationState(), UIApplicationStateBackground);
  EXPECT_EQ(app.backgroundTimeRemaining(), 180);
  app.enterBackground();  // already there: nothing more to tell
  app.enterForeground();
  EXPECT_EQ(delegate.log, (Log{"launched", "active", "resign", "background", "foreground", "active"}));
  EXPECT_EQ(notified.size(), 1u);
  app.setDelegate(nullptr);
}

TEST(ApplicationLifeTest, QuickActionsAndURLsReachTheDelegate) {
  UIDriver ui;
  auto& app = UIApplication::sharedApplication();
  Delegate delegate;
  app.setDelegate(&delegate);
  app.setShortcutItems({{"add", "Add Source", "", "UIApplicationShortcutIconTypeAdd", {}},
                        {"later", "Refresh", "", "", {}}});
  EXPECT_EQ(app.performShortcutItemByUser("add"), true);
  EXPECT_EQ(app.performShortcutItemByUser("unknown"), std::nullopt);
  // A delegate may finish later; the completion it keeps must still be safe to call.
  EXPECT_EQ(app.performShortcutItemByUser("later"), false);
  ASSERT_TRUE(delegate.keptCompletion);
  delegate.keptCompletion(true);
  EXPECT_TRUE(app.deliverOpenURL("quillbark://show?id=com.x", "com.apple.mobilesafari"));
  EXPECT_FALSE(app.deliverOpenURL("other://x", "com.x"));
  EXPECT_EQ(delegate.log, (Log{"shortcut add", "shortcut later", "open quillbark://show?id=com.x from com.apple.mobilesafari",
                               "open other://x from com.x"}));
  app.setDelegate(nullptr);
}

TEST(ApplicationLifeTest, IconsAndTheSystemsLookTellTheirOutcome) {
  UIDriver ui;
  auto& app = UIApplication::sharedApplication();
  app.setAvailableAlternateIconNames({"Dark"});
  std::vector<std::optional<std::string>> outcomes;
  app.setAlternateIconName("Dark", [&](std::optional<std::string> error) { outcomes.push_back(error); });
  app.setAlternateIconName("Missing", [&](std::optional<std::string> error) { outcomes.push_back(error); });
  EXPECT_TRUE(outcomes.empty()) << "told on the next turn";
  ui.runUntilIdle();
  ASSERT_EQ(outcomes.size(), 2u);
  EXPECT_FALSE(outcomes[0]);
  ASSERT_TRUE(outcomes[1]);
  EXPECT_NE(outcomes[1]->find("Missing"), std::string::npos);
  EXPECT_EQ(app.alternateIconName(), "Dark") << "a refused name changes nothing";

  auto screen = std::make_shared<Screen>();
  ui.show(screen);
  app.setSystemUserInterfaceStyle(UIUserInterfaceStyleDark);
  app.setSystemUserInterfaceStyle(UIUserInterfaceStyleDark);
  screen->setOverrideUserInterfaceStyle(UIUserInterfaceStyleLight);
  app.setSystemUserInterfaceStyle(UIUserInterfaceStyleLight);
  EXPECT_EQ(screen->styles, (Log{"dark", "light"})) << "told of changes only, and an override wins";
}
