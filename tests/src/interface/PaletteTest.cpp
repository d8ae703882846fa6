// The palette tables, the style choice, the change notifications and the colour helpers.
#include <gtest/gtest.h>

#include "core/QuillbarkPersistentPreferences.h"
#include "foundation/NotificationCenter.h"
#include "interface/KVPaletteManager.h"
#include "interface/UIColorInterpolation.h"
#include "interface/UIColorSimpleHex.h"
#include "interface/UIImageImageWithColor.h"
#include "support/UIDriver.h"

namespace {
class PaletteTest : public ::testing::Test {
 protected:
  void set(const char* key, bool value) { QuillbarkPersistentPreferences::sharedInstance().setValue(Value(value), key); }
  uint32_t styleWith(bool observe, bool systemLight) {
    set("ObserveAppleDarkModeChanges", observe);
    KVPaletteManager::setAppleInterfaceStyleIsLight(systemLight);
    return KVPaletteManager::styleForSettings();
  }
  void TearDown() override { KVPaletteManager::resetForTesting(); }
  UIDriver ui;
};

TEST_F(PaletteTest, TheChoiceTableOfStyles) {
  EXPECT_EQ(KVPaletteManager::styleForSettings(), 0u) << "no preference: light";
  UIDevice::currentDevice().setSystemVersion("12.4");
  EXPECT_EQ(KVPaletteManager::styleForSettings(), 0u);
  UIDevice::currentDevice().setSystemVersion("14.4");
  set("DarkMode", true);
  set("TrueDarkMode", true);
  EXPECT_EQ(KVPaletteManager::styleForSettings(), 1u) << "DarkMode comes first";
  set("DarkMode", false);
  EXPECT_EQ(KVPaletteManager::styleForSettings(), 3u);
  EXPECT_EQ(styleWith(true, true), 0u) << "following a light system forces light";
  EXPECT_EQ(styleWith(true, false), 3u) << "a dark system keeps the dark preference";
  set("TrueDarkMode", false);
  EXPECT_EQ(styleWith(true, false), 0u) << "and without one stays light";
  set("AppleDarkMode", true);
  UIDevice::currentDevice().setSystemVersion("12.4");
  EXPECT_EQ(styleWith(true, true), 2u) << "below 13 following the system has no effect";
}

TEST_F(PaletteTest, SettingTheSameStylePostsBothNotificationsAndTellsObservers) {
  auto& manager = KVPaletteManager::sharedPaletteManager();
  std::vector<std::string> seen;
  std::vector<NotificationToken> observations;
  for (auto* name : {KVPaletteWillChangeNotification, KVPaletteDidChangeNotification})
    observations.push_back(
        NotificationCenter::defaultCenter().addObserver(name, [&](const Notification& n) { seen.push_back(n.name); }));
  observations.push_back(
      manager.addActiveStyleObserver([&](uint32_t style) { seen.push_back("observer " + std::to_string(style)); }));
  uint32_t style = manager.activeStyle();
  manager.setActiveStyle(style);
  EXPECT_EQ(seen, (std::vector<std::string>{"KVPaletteWillChangeNotification", "KVPaletteDidChangeNotification",
                                            "observer " + std::to_string(style)}));
  manager.setActiveStyle(7);
  EXPECT_EQ(manager.activeStyle(), 0u) << "a style without a palette falls back to light";
  ASSERT_TRUE(manager.activePalete());
  EXPECT_EQ(manager.backgroundColor(), UIColor::whiteColor()) << "the manager's accessors read the active palette";
  EXPECT_EQ(manager.keyboardAppearance(), 2);
}

TEST_F(PaletteTest, TablesAndOverrides) {
  EXPECT_EQ(KVPalette::paletteWithStyle(4), nullptr);
  for (uint32_t s = 0; s < 4; ++s) {
    auto p = KVPalette::paletteWithStyle(s);
    EXPECT_EQ(p->navBarColor(), p->backgroundColor());
    EXPECT_EQ(p->cellBackgroundColor(), p->barTintColor());
    EXPECT_EQ(p->barStyle(), s == 0 ? 0 : 1);
  }
  auto blue = KVPalette::paletteWithStyle(1);
  EXPECT_EQ(blue->backgroundColor(), UIColor::colorWithRed(0.07, 0.11, 0.15, 1));
  EXPECT_EQ(blue->getButtonBackgoundColor(), KVPalette::paletteWithStyle(0)->getButtonTextColor()) << "swapped when dark";
  auto p = KVPalette::paletteWithStyle(0, {{"tintColor", UIColor::redColor()}, {"getButtonTextColor", UIColor::redColor()}});
  EXPECT_EQ(p->tintColor(), UIColor::redColor());
  EXPECT_EQ(p->getButtonTextColor(), UIColor::colorWithRed(0, 0.45, 0.66, 1)) << "not overridable";
}

TEST(HexColorTest, ParsingQuirks) {
  using UIColorSimpleHex::colorWithHexString;
  UIColor expected = UIColor::colorWithRed(0, 0xAB / 255.0, 0xE0 / 255.0, 1);
  for (const char* text : {"#00ABE0", "00ABE0", "##00abe0", "0x00ABE0", "FF00ABE0"}) EXPECT_EQ(colorWithHexString(text), expected) << text;
  EXPECT_EQ(colorWithHexString(" 00ABE0"), UIColor::colorWithRed(0, 0, 0, 1)) << "white space is not skipped";
  EXPECT_EQ(colorWithHexString("FFF"), UIColor::colorWithRed(0, 15 / 255.0, 1, 1)) << "no short form";
  EXPECT_EQ(colorWithHexString("", 0.5), UIColor::colorWithRed(0, 0, 0, 0.5));
  EXPECT_EQ(colorWithHexString("xyz"), UIColor::colorWithRed(0, 0, 0, 1));
  EXPECT_EQ(colorWithHexString("FFFFFFFFFF"), UIColor::colorWithRed(1, 1, 1, 1)) << "overflow sets every bit";
}

TEST(InterpolationTest, FractionsAreClamped) {
  using UIColorInterpolation::lerpToColor;
  UIColor a = UIColor::colorWithRed(0.2, 0.4, 0.6, 1), b = UIColor::colorWithRed(1, 0, 0, 0);
  EXPECT_EQ(lerpToColor(a, b, 0), a);
  EXPECT_EQ(lerpToColor(a, b, 1), b);
  EXPECT_EQ(lerpToColor(a, b, 1.5), b);
  EXPECT_EQ(lerpToColor(a, b, -1), a);
  EXPECT_EQ(lerpToColor(a, b, std::nan("")), a);
  EXPECT_EQ(lerpToColor(a, b, 0.5), UIColor::colorWithRed(0.6, 0.2, 0.3, 0.5));
  auto image = UIImageImageWithColor::imageWithColor(UIColor::redColor());
  EXPECT_EQ(image->size(), (CGSize{1, 1}));
  EXPECT_EQ(image->fillColor(), UIColor::redColor());
}
}  // namespace
