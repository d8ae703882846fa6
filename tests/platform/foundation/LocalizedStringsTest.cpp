#include "foundation/LocalizedStrings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/Bundle.h"
#include "foundation/Files.h"
#include "support/TempDir.h"

namespace {

class LocalizedStringsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = Bundle::main().resourcePath();
    Bundle::main().setResourcePath(dir_.path());
    LocalizedStrings::setLanguage("en");
  }
  void TearDown() override {
    Bundle::main().setResourcePath(saved_);
    LocalizedStrings::setLanguage("en");
  }
  void writeTable(const std::string& lang, const std::string& table, const std::string& text) {
    ASSERT_TRUE(Files::createDirectories(dir_.file(lang + ".lproj")));
    ASSERT_TRUE(Files::writeAtomically(dir_.file(lang + ".lproj/" + table + ".strings"), text));
  }

  TempDir dir_;

 private:
  std::string saved_;
};

TEST_F(LocalizedStringsTest, ReadsEntriesBetweenCommentsWithTheirEscapes) {
  writeTable("fr", "Localizable", R"(/* A block comment
   spanning lines, with "quotes" = "inside"; */
"Refresh" = "Actualiser";
// a line comment "Queue" = "wrong";
"Queue"="File d'attente" ;
  "Say \"hi\"" = "Dire \"salut\"";
"Lines" = "one\ntwo\tthree";
"Back\\slash" = "a\\b";
"Accent" = "caf\U00E9 \UD83D\UDCE6";
"Same";
"Unicode ✓" = "Unicode ✓ direct";
)");
  LocalizedStrings::setLanguage("fr");
  EXPECT_EQ(LocalizedStrings::language(), "fr");
  EXPECT_EQ(NSLocalizedString("Refresh"), "Actualiser");
  EXPECT_EQ(NSLocalizedString("Queue"), "File d'attente");
  EXPECT_EQ(NSLocalizedString("Say \"hi\""), "Dire \"salut\"");
  EXPECT_EQ(NSLocalizedString("Lines"), "one\ntwo\tthree");
  EXPECT_EQ(NSLocalizedString("Back\\slash"), "a\\b");
  EXPECT_EQ(NSLocalizedString("Accent"), "caf\xC3\xA9 \xF0\x9F\x93\xA6");
  EXPECT_EQ(NSLocalizedString("Same"), "Same");
  EXPECT_EQ(NSLocalizedString("Unicode ✓"), "Unicode ✓ direct");
  EXPECT_EQ(NSLocalizedString("A block comment"), "A block comment");
}

TEST_F(LocalizedStringsTest, MissingKeysAndTablesShowTheKey) {
  writeTable("de", "Localizable", "\"Done\" = \"Fertig\";\n");
  LocalizedStrings::setLanguage("de");
  EXPECT_EQ(NSLocalizedString("Done"), "Fertig");
  EXPECT_EQ(NSLocalizedString("Not translated"), "Not translated");
  EXPECT_EQ(NSLocalizedStringFromTable("Done", "Missing"), "Done");
  EXPECT_EQ(NSLocalizedString(""), "");
}

TEST_F(LocalizedStringsTest, TablesAreSeparateAndFollowTheLanguage) {
  writeTable("de", "Localizable", "\"Cancel\" = \"Abbrechen\";");
  writeTable("de", "Settings", "\"Cancel\" = \"Verwerfen\";");
  writeTable("es", "Localizable", "\"Cancel\" = \"Cancelar\";");
  EXPECT_EQ(NSLocalizedString("Cancel"), "Cancel");  // English needs no table
  LocalizedStrings::setLanguage("de");
  EXPECT_EQ(NSLocalizedString("Cancel"), "Abbrechen");
  EXPECT_EQ(NSLocalizedStringFromTable("Cancel", "Settings"), "Verwerfen");
  LocalizedStrings::setLanguage("es");
  EXPECT_EQ(NSLocalizedString("Cancel"), "Cancelar");
  LocalizedStrings::setLanguage("");
  EXPECT_EQ(LocalizedStrings::language(), "en");
  EXPECT_EQ(NSLocalizedString("Cancel"), "Cancel");

  ASSERT_TRUE(Files::createDirectories(dir_.file("Base.lproj")));
  ASSERT_TRUE(Files::createDirectories(dir_.file("en.lproj")));
  ASSERT_TRUE(Files::createDirectories(dir_.file("notalanguage")));
  EXPECT_EQ(LocalizedStrings::availableLanguages(), (std::vector<std::string>{"en", "de", "es"}));
}

TEST_F(LocalizedStringsTest, ReloadPicksUpChangedTables) {
  writeTable("it", "Localizable", "\"Search\" = \"Cerca\";");
  LocalizedStrings::setLanguage("it");
  EXPECT_EQ(NSLocalizedString("Search"), "Cerca");
  writeTable("it", "Localizable", "\"Search\" = \"Ricerca\";");
  EXPECT_EQ(NSLocalizedString("Search"), "Cerca");  // loaded tables are kept
  LocalizedStrings::reload();
  EXPECT_EQ(NSLocalizedString("Search"), "Ricerca");

  // A new resources folder after a reload.
  TempDir other;
  ASSERT_TRUE(Files::createDirectories(other.file("it.lproj")));
  ASSERT_TRUE(Files::writeAtomically(other.file("it.lproj/Localizable.strings"), std::string("\"Search\" = \"Trova\";")));
  Bundle::main().setResourcePath(other.path());
  LocalizedStrings::reload();
  EXPECT_EQ(NSLocalizedString("Search"), "Trova");
  Bundle::main().setResourcePath(dir_.path());
}

TEST_F(LocalizedStringsTest, ABrokenTableKeepsWhatCameBeforeTheFault) {
  writeTable("nl", "Localizable", "\xEF\xBB\xBF\"Yes\" = \"Ja\";\n\"No\" = \"Nee\";\n\"Broken\" = unquoted;\n\"Later\" = \"Later\";\n");
  LocalizedStrings::setLanguage("nl");
  EXPECT_EQ(NSLocalizedString("Yes"), "Ja");  // after a byte-order mark
  EXPECT_EQ(NSLocalizedString("No"), "Nee");
  EXPECT_EQ(NSLocalizedString("Broken"), "Broken");
  writeTable("nl", "Unterminated", "\"Open\" = \"never closed;\n");
  EXPECT_EQ(NSLocalizedStringFromTable("Open", "Unterminated"), "Open");
}

TEST(Bundle, FindsResourcesDirectlyOrInASubfolder) {
  TempDir dir;
  std::string saved = Bundle::main().resourcePath();
  Bundle::main().setResourcePath(dir.path());
  ASSERT_TRUE(Files::writeAtomically(dir.file("Settings.plist"), std::string("<plist/>")));
  ASSERT_TRUE(Files::createDirectories(dir.file("templates")));
  ASSERT_TRUE(Files::writeAtomically(dir.file("templates/page.html"), std::string("<html>")));
  EXPECT_EQ(Bundle::main().pathForResource("Settings", "plist"), dir.file("Settings.plist"));
  EXPECT_EQ(Bundle::main().pathForResource("page", "html", "templates"), dir.file("templates/page.html"));
  EXPECT_FALSE(Bundle::main().pathForResource("page", "html"));
  EXPECT_FALSE(Bundle::main().pathForResource("Missing", "plist"));
  Bundle::main().setResourcePath(saved);
  EXPECT_FALSE(Bundle::main().bundleIdentifier().empty());
}

}  // namespace
