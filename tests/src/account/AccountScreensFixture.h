#pragma once
// The account's screens against the played vendor service, driven as a person would:
// the screens they open are noted by what was asked (support/RecordingScreens.h, and
// here the lists, the stores and the application's own screens), so the notes hold
// whether or not those screens are built yet.
#include <memory>
#include <string>
#include <vector>

#include "VendorTestSupport.h"
#include "interface/KVPackageListKind.h"
#include "support/RecordingScreens.h"
#include "support/TestRoot.h"
#include "support/UIDriver.h"
#include "uikit/UINavigationController.h"

class AccountScreens : public RecordingScreens {
 public:
  using RecordingScreens::RecordingScreens;
  static std::shared_ptr<AccountScreens> onRunningRoot() {
    KVScreenContext running = screenContext();
    return std::make_shared<AccountScreens>(running.sources, running.packages, running.actions);
  }
  std::shared_ptr<UIViewController> packageList(const KVPackageListKind& kind) override {
    std::string identifiers;
    for (const auto& identifier : kind.identifiers) identifiers += " " + identifier;
    return noted("list " + kind.title.value_or("") + identifiers);
  }
  std::shared_ptr<UIViewController> wishlist() override { return noted("wishlist"); }
  std::shared_ptr<UIViewController> followedDevelopers() override { return noted("followed"); }
  std::shared_ptr<UIViewController> stores() override { return noted("stores"); }
  std::shared_ptr<UIViewController> settings() override { return noted("settings"); }
  std::shared_ptr<UIViewController> credits() override { return noted("credits"); }
  std::shared_ptr<UIViewController> changelog() override { return noted("changelog"); }

  // Every screen opened, in order: those above and those RecordingScreens notes.
  std::vector<std::string> all() const {
    std::vector<std::string> every = opened();
    every.insert(every.end(), more_.begin(), more_.end());
    return every;
  }

 private:
  std::shared_ptr<UIViewController> noted(std::string what) {
    more_.push_back(what);
    auto screen = std::make_shared<UIViewController>();
    screen->setTitle(std::move(what));
    return screen;
  }
  std::vector<std::string> more_;
};

class AccountScreensFixture : public VendorTest {
 protected:
  void SetUp() override {
    VendorTest::SetUp();
    screens = AccountScreens::onRunningRoot();
  }
  // The screen as the root of a navigation controller in the window.
  template <typename Screen, typename... Inputs>
  std::shared_ptr<Screen> show(Inputs&&... inputs) {
    auto screen = std::make_shared<Screen>(screens->context(), std::forward<Inputs>(inputs)...);
    navigation = std::make_shared<UINavigationController>(screen);
    ui.show(navigation);
    ui.runUntilIdle();
    return screen;
  }
  // Waits, pumping the main loop, until the condition holds.
  static bool eventually(const std::function<bool()>& condition, double seconds = 20) {
    return RunLoop::main().runUntil(condition, seconds);
  }
  std::string topTitle() { return navigation->topViewController() ? navigation->topViewController()->title() : ""; }

  UIDriver ui;
  std::shared_ptr<AccountScreens> screens;
  std::shared_ptr<UINavigationController> navigation;
};
