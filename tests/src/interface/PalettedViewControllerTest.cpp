// The base screen: its backing view, its registrations and its re-theme.
#include <gtest/gtest.h>

#include "core/QuillbarkPersistentPreferences.h"
#include "interface/KVPaletteManager.h"
#include "interface/KVPalettedViewController.h"
#include "support/UIDriver.h"
#include "uikit/UIApplication.h"
#include "uikit/UINavigationController.h"

namespace {
class Themed : public KVPalettedViewController {
 public:
  int heard = 0, rethemes = 0;
  bool sawLightDarkSwitch = false;
  void viewDidLoad() override {
    KVPalettedViewController::viewDidLoad();
    observe("SomethingHappened", [this](const Notification&) { ++heard; });
  }
  void paletteDidChange(const std::shared_ptr<KVPalette>&) override {
    ++rethemes;
    sawLightDarkSwitch = sawLightDarkSwitch || didLastPaletteChangeUpdateDarkmode();
  }
};

class PalettedViewControllerTest : public ::testing::Test {
 protected:
  void TearDown() override { KVPaletteManager::resetForTesting(); }
  UIDriver ui;
};

TEST_F(PalettedViewControllerTest, TwoPushedScreensShareOneBackingView) {
  auto first = std::make_shared<Themed>(), second = std::make_shared<Themed>();
  auto nav = std::make_shared<UINavigationController>(first);
  ui.show(nav);
  nav->pushViewController(second, false);
  ASSERT_TRUE(first->fakeStatusBar());
  EXPECT_EQ(first->fakeStatusBar(), second->fakeStatusBar());
  EXPECT_EQ(first->fakeStatusBar()->tag(), KVPalettedViewController::kBackingViewTag);
  EXPECT_EQ(first->fakeStatusBar()->superview(), nav->navigationBar().get());
  int tagged = 0;
  for (auto& v : nav->navigationBar()->subviews()) tagged += v->tag() == KVPalettedViewController::kBackingViewTag;
  EXPECT_EQ(tagged, 1);
  EXPECT_EQ(nav->navigationBar()->constraints().size() + first->fakeStatusBar()->constraints().size(), 4u)
      << "height, bottom, leading, trailing";
}

TEST_F(PalettedViewControllerTest, AScreenOutsideANavigationControllerHasNone) {
  auto screen = std::make_shared<Themed>();
  ui.show(screen);
  EXPECT_EQ(screen->fakeStatusBar(), nullptr);
  EXPECT_GE(screen->rethemes, 2) << "in viewDidLoad and viewWillAppear";
}

TEST_F(PalettedViewControllerTest, RegistrationsAreGoneAfterADisappearance) {
  auto screen = std::make_shared<Themed>();
  ui.show(screen);
  NotificationCenter::defaultCenter().post("SomethingHappened");
  EXPECT_EQ(screen->heard, 1);
  auto cover = std::make_shared<UIViewController>();
  cover->setModalPresentationStyle(UIModalPresentationFullScreen);
  screen->presentViewController(cover, false);
  EXPECT_EQ(screen->observationCount(), 0u);
  NotificationCenter::defaultCenter().post("SomethingHappened");
  EXPECT_EQ(screen->heard, 1);
  int before = screen->rethemes;
  QuillbarkPersistentPreferences::sharedInstance().setValue(Value(true), "AppleDarkMode");
  KVPaletteManager::updatePaletteFromSettings();
  EXPECT_EQ(screen->rethemes, before) << "a screen not on screen does not follow the palette";
  cover->dismissViewControllerAnimated(false);
  EXPECT_GT(screen->rethemes, before) << "it re-themes when it comes back";
  EXPECT_EQ(screen->paletteStyle(), 2u);
  QuillbarkPersistentPreferences::sharedInstance().setValue(Value(true), "TrueDarkMode");
  QuillbarkPersistentPreferences::sharedInstance().setValue(Value(false), "AppleDarkMode");
  KVPaletteManager::updatePaletteFromSettings();
  EXPECT_FALSE(screen->didLastPaletteChangeUpdateDarkmode()) << "grey to black stays dark";
  EXPECT_EQ(screen->preferredStatusBarStyle(), UIStatusBarStyleLightContent);
}

TEST_F(PalettedViewControllerTest, AReversedDisappearanceDoesNotRegisterTwice) {
  auto screen = std::make_shared<Themed>();
  ui.show(screen);
  screen->beginAppearanceTransition(false, true);
  screen->beginAppearanceTransition(true, true);  // it comes back before it was gone
  screen->endAppearanceTransition();
  NotificationCenter::defaultCenter().post("SomethingHappened");
  EXPECT_EQ(screen->heard, 1);
  int before = screen->rethemes;
  KVPaletteManager::updatePaletteFromSettings();
  EXPECT_EQ(screen->rethemes, before + 1) << "one re-theme per palette change";
}

TEST_F(PalettedViewControllerTest, TheFirstScreenReportsTheSystemAppearanceToThePalette) {
  auto& prefs = QuillbarkPersistentPreferences::sharedInstance();
  prefs.setValue(Value(true), "ObserveAppleDarkModeChanges");
  prefs.setValue(Value(true), "TrueDarkMode");
  KVPaletteManager::resetForTesting();
  EXPECT_EQ(KVPaletteManager::getActiveStyle(), 3u) << "until a screen reports, the system counts as dark";
  int changes = 0;
  auto observation = NotificationCenter::defaultCenter().addObserver(KVPaletteDidChangeNotification,
                                                                     [&](const Notification&) { ++changes; });
  auto screen = std::make_shared<Themed>();
  ui.show(std::make_shared<UINavigationController>(screen));
  EXPECT_TRUE(screen->observeTraitCollection());
  EXPECT_TRUE(KVPaletteManager::appleInterfaceStyleIsLight());
  EXPECT_EQ(KVPaletteManager::getActiveStyle(), 0u) << "a light system forces the light palette";
  EXPECT_EQ(screen->paletteStyle(), 0u);
  EXPECT_GE(changes, 1);

  screen->sawLightDarkSwitch = false;
  UIApplication::sharedApplication().setSystemUserInterfaceStyle(UIUserInterfaceStyleDark);
  ui.runUntilIdle();
  EXPECT_FALSE(KVPaletteManager::appleInterfaceStyleIsLight());
  EXPECT_EQ(screen->paletteStyle(), 3u) << "a dark system gives the dark preference back";
  EXPECT_TRUE(screen->sawLightDarkSwitch) << "the hook heard that light turned dark";
}

TEST_F(PalettedViewControllerTest, BelowThirteenTheSystemAppearanceIsNotFollowed) {
  UIDevice::currentDevice().setSystemVersion("12.4");
  auto& prefs = QuillbarkPersistentPreferences::sharedInstance();
  prefs.setValue(Value(true), "ObserveAppleDarkModeChanges");
  prefs.setValue(Value(true), "DarkMode");
  KVPaletteManager::resetForTesting();
  auto screen = std::make_shared<Themed>();
  ui.show(screen);
  EXPECT_FALSE(screen->observeTraitCollection());
  EXPECT_EQ(screen->paletteStyle(), 1u);
  EXPECT_EQ(screen->overrideUserInterfaceStyle(), UIUserInterfaceStyleUnspecified) << "no style override before 13";
}

TEST_F(PalettedViewControllerTest, TheNavigationBarFollowsTranslucencyAndOverrides) {
  auto screen = std::make_shared<Themed>();
  auto nav = std::make_shared<UINavigationController>(screen);
  ui.show(nav);
  auto& bar = nav->navigationBar();
  EXPECT_TRUE(bar->isTranslucent());
  EXPECT_TRUE(screen->fakeStatusBar()->isHidden());
  EXPECT_EQ(bar->backgroundImageForBarMetrics(), nullptr);
  screen->setOverrideTranslucentNavBar(true);
  screen->_paletteDidChangeInternal();
  EXPECT_FALSE(bar->isTranslucent());
  EXPECT_FALSE(screen->fakeStatusBar()->isHidden());
  ASSERT_TRUE(bar->backgroundImageForBarMetrics());
  EXPECT_EQ(bar->backgroundImageForBarMetrics()->fillColor(), UIColor::whiteColor());
  screen->setOverrideColor(UIColor::clearColor(), "navBarColor");
  screen->_paletteDidChangeInternal();
  EXPECT_TRUE(bar->isTranslucent()) << "a fully transparent bar";
  EXPECT_EQ(bar->backgroundImageForBarMetrics()->fillColor(), std::nullopt);
  screen->setOverrideColor(std::nullopt, "navBarColor");
  EXPECT_FALSE(screen->overrideColorForKeyPath("navBarColor").has_value());
}
}  // namespace
