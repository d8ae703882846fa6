#include <gtest/gtest.h>

#include "database/TweakCompatibilityManager.h"
#include "interface/TweakCompatibilityManagerColors.h"

TEST(TweakCompatibilityManagerColors, EachStatusHasItsColourAndAnythingElseIsUnknown) {
  using namespace TweakCompatibilityManagerColors;
  EXPECT_EQ(colorForStatus(TweakCompatibilityManager::Working).name(), "systemGreenColor");
  EXPECT_EQ(colorForStatus(TweakCompatibilityManager::NotWorking).name(), "systemRedColor");
  EXPECT_EQ(colorForStatus(TweakCompatibilityManager::Unknown).name(), "systemYellowColor");
  EXPECT_EQ(colorForStatus(7).name(), "systemYellowColor");
}
