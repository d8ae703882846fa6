#include <gtest/gtest.h>

#include "core/NSBundleLocalizedBundle.h"
#include "foundation/Bundle.h"
#include "foundation/Files.h"
#include "foundation/LocalizedStrings.h"
#include "support/ScopedDeviceRoot.h"
#include "support/TempDir.h"

namespace {
class LanguageChoiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previousResources = Bundle::main().resourcePath();
    Bundle::main().setResourcePath(resources.path());
    Files::createDirectories(resources.path() + "/fr.lproj");
    Files::writeAtomically(resources.path() + "/fr.lproj/Localizable.strings",
                           std::string("\"Later\" = \"Plus tard\";\n"));
  }
  void TearDown() override {
    NSBundleLocalizedBundle::setLanguage(std::nullopt);
    Bundle::main().setResourcePath(previousResources);
    LocalizedStrings::setLanguage("en");
  }
  TempDir resources;
  ScopedDeviceRoot root;
  std::string previousResources;
};

TEST_F(LanguageChoiceTest, ChosenLanguageIsUsedKeptAndDroppedAgain) {
  NSBundleLocalizedBundle::setLanguage("fr");
  EXPECT_EQ(NSLocalizedString("Later"), "Plus tard");
  EXPECT_EQ(NSLocalizedString("Reboot now"), "Reboot now");  // no entry: the English key
  auto defaults = Value::fromPropertyListFile(NSBundleLocalizedBundle::userDefaultsPath());
  ASSERT_TRUE(defaults);
  EXPECT_EQ((*defaults)["AppleLanguages"][0].asString(), "fr");

  // The next start begins in the stored language.
  LocalizedStrings::setLanguage("en");
  NSBundleLocalizedBundle::applyStoredLanguage();
  EXPECT_EQ(NSLocalizedString("Later"), "Plus tard");

  NSBundleLocalizedBundle::setLanguage(std::nullopt);
  EXPECT_EQ(NSLocalizedString("Later"), "Later");
  defaults = Value::fromPropertyListFile(NSBundleLocalizedBundle::userDefaultsPath());
  ASSERT_TRUE(defaults);
  EXPECT_FALSE(defaults->contains("AppleLanguages"));
}

TEST_F(LanguageChoiceTest, ALanguageWithoutTablesFallsBackToEnglish) {
  NSBundleLocalizedBundle::setLanguage("xx");
  EXPECT_EQ(NSLocalizedString("Later"), "Later");
  EXPECT_EQ(LocalizedBundle::localizedStringForKey("Missing", "Fallback", ""), "Fallback");
}
}  // namespace
