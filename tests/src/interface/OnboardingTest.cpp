// The first run's entry screen and palette chooser, on an emulated system before and
// from 13, and the what's-new page.
#include <gtest/gtest.h>

#include "core/QuillbarkPersistentPreferences.h"
#include "foundation/Files.h"
#include "interface/DarkmodeViewController.h"
#include "interface/InitViewController.h"
#include "interface/KVPaletteManager.h"
#include "interface/welcomeScreenViewController.h"
#include "support/TestRoot.h"
#include "support/UIDriver.h"
#include "system/DeviceRoot.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIDevice.h"
#include "uikit/UIImageView.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIScreen.h"
#include "uikit/UIStackView.h"

namespace {
class OnboardingTest : public ::testing::Test {
 protected:
  void TearDown() override { KVPaletteManager::resetForTesting(); }
  static PersistentDictionary& preferences() { return QuillbarkPersistentPreferences::sharedInstance(); }
  // The three palette preferences as stored, "-" for none.
  static std::string stored() {
    std::string out;
    for (const char* key : {"DarkMode", "AppleDarkMode", "TrueDarkMode"}) {
      Value v = preferences().objectForKey(key);
      out += v.isNull() ? "-" : v.asBool() ? "1" : "0";
    }
    return out;
  }
  // The walk from the entry screen on the emulated system.
  void start(const char* system) {
    UIDevice::currentDevice().setSystemVersion(system);
    ui.show(std::make_shared<InitViewController>(screenContext()));
    ASSERT_TRUE(ui.tap("Get Started")) << ui.screen();
  }
  UIDriver ui;
};

TEST_F(OnboardingTest, From13TheEntryLeadsStraightToTheSignIn) {
  start("13.0");
  EXPECT_TRUE(ui.screenShows("title: Sign In\nover: Welcome")) << ui.screen();
}

TEST_F(OnboardingTest, Before13TheChooserPreviewsAtOnceAndContinueStoresAndAppliesTheChoice) {
  start("12.4");
  ASSERT_TRUE(ui.screenShows("title: Appearance\nover: Welcome")) << ui.screen();
  auto* chooser = dynamic_cast<DarkmodeViewController*>(ui.front());
  ASSERT_NE(chooser, nullptr);
  EXPECT_FALSE(chooser->isModalInPresentation()) << "before 13 nothing swipes a sheet away";
  EXPECT_TRUE(ui.screenShows("[Light] (selected)")) << "the process starts with the light option";

  ASSERT_TRUE(ui.tap("Dark"));
  EXPECT_TRUE(ui.screenShows("(image: Preview: Dark)\n")) << ui.screen();
  EXPECT_EQ(chooser->darkCheckbox()->image(), UIImage::imageNamed("repo-checked"));
  EXPECT_EQ(chooser->lightCheckbox()->image(), UIImage::imageNamed("repo-unselected"));
  EXPECT_EQ(chooser->view()->backgroundColor(), UIColor::colorWithRed(0.12, 0.12, 0.12, 1));
  ASSERT_TRUE(ui.tap("Pure Black"));
  EXPECT_EQ(chooser->view()->backgroundColor(), UIColor::colorWithRed(0, 0, 0, 0)) << "see-through, not opaque black";
  EXPECT_EQ(stored(), "---") << "a tap previews and stores nothing";
  EXPECT_EQ(KVPaletteManager::getActiveStyle(), 0u) << "nor changes the application's palette";

  ASSERT_TRUE(ui.tap("Dark"));
  ASSERT_TRUE(ui.tap("Continue"));
  EXPECT_EQ(stored(), "010") << "the grey palette is AppleDarkMode alone";
  EXPECT_EQ(KVPaletteManager::getActiveStyle(), 2u) << "and every screen takes it at once";
  EXPECT_TRUE(ui.screenShows("title: Sign In\nover: Appearance")) << "the chooser leads on to the sign-in";

  // The choice reaches the preference file, and a later start takes the grey palette.
  ASSERT_TRUE(Files::createDirectories(DeviceRoot::devicePath(DeviceRoot::kApplicationSupport)));
  ui.advance(1);
  QuillbarkPersistentPreferences::resetSharedInstance();
  EXPECT_EQ(stored(), "010");
  EXPECT_EQ(KVPaletteManager::styleForSettings(), 2u);
}

TEST_F(OnboardingTest, ASecondChooserStartsAtTheLastTapAndOnlyTheLastContinueCounts) {
  UIDevice::currentDevice().setSystemVersion("12.4");
  auto first = std::make_shared<DarkmodeViewController>(screenContext());
  ui.show(std::make_shared<UINavigationController>(first));
  auto& bar = *first->navigationController()->navigationBar();
  ASSERT_TRUE(ui.tap("Blue Black"));
  first->darkmodeContinueButton();
  EXPECT_EQ(stored(), "100");
  EXPECT_EQ(KVPaletteManager::getActiveStyle(), 1u);
  ASSERT_TRUE(ui.tap("Light"));
  EXPECT_EQ(bar.barStyle(), UIBarStyleBlack) << "the light option leaves the bar as the dark one set it";

  auto second = std::make_shared<DarkmodeViewController>(screenContext());
  ui.show(second);
  EXPECT_TRUE(ui.screenShows("[Light] (selected)")) << "the option is the process's, not the screen's";
  ASSERT_TRUE(ui.tap("Pure Black"));
  second->darkmodeContinueButton();
  EXPECT_EQ(stored(), "001") << "only the last option's preference is set";
  EXPECT_EQ(KVPaletteManager::getActiveStyle(), 3u);
}

TEST_F(OnboardingTest, TheWhatsNewPageTightensOnANarrowScreenAndContinueClosesIt) {
  auto presenter = std::make_shared<UIViewController>();
  ui.show(presenter);
  auto wide = std::make_shared<welcomeScreenViewController>();
  presenter->presentViewController(wide, false);
  EXPECT_TRUE(wide->stackView()->transform().isIdentity());
  EXPECT_EQ(wide->topConstraint()->constant(), 30);
  ASSERT_TRUE(ui.tap("Continue"));
  EXPECT_EQ(presenter->presentedViewController(), nullptr);

  UIScreen::mainScreen().setBounds(CGRect::make(0, 0, 320, 568));
  auto narrow = std::make_shared<welcomeScreenViewController>();
  narrow->loadViewIfNeeded();
  EXPECT_EQ(narrow->stackView()->transform(), CGAffineTransform::makeScale(0.8, 0.8));
  EXPECT_EQ(narrow->topConstraint()->constant(), 1);
  EXPECT_EQ(narrow->sideConstraint()->constant(), 5);
  EXPECT_EQ(narrow->rightConstraint()->constant(), 5);
  EXPECT_EQ(narrow->whatsNewTop()->constant(), 20);
}
}  // namespace
