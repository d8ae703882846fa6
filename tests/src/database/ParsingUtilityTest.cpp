// The in-memory splitter and the field helpers of KVParsingUtility.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <string>

#include "core/KVDependencyDescription.h"
#include "database/KVParsingUtility.h"
#include "foundation/Date.h"
#include "foundation/DateFormatter.h"
#include "foundation/Value.h"
#include "support/TempDir.h"
#include "support/TestData.h"

namespace {

using Strings = std::vector<std::string>;

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

std::string run(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return out;
  char buf[1024];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  pclose(p);
  return out;
}

// ---- in-memory splitter ----

TEST(ParsingUtilitySplitter, SplitsStanzasAndKeepsTheirText) {
  auto stanzas = KVParsingUtility::arrayFromPackagesFromString(
      "Package: a\nVersion: 1.0\n\nPackage: b\nDepiction: https://x.org/d: e: f\n");
  ASSERT_EQ(stanzas.size(), 2u);
  EXPECT_EQ(stanzas[0].value("Package"), "a");
  EXPECT_EQ(stanzas[0].value("rawPackage"), "Package: a\nVersion: 1.0");
  // Everything after the first ": " is the value.
  EXPECT_EQ(stanzas[1].value("Depiction"), "https://x.org/d: e: f");
  EXPECT_EQ(stanzas[1].value("rawPackage"), "Package: b\nDepiction: https://x.org/d: e: f");
  EXPECT_TRUE(KVParsingUtility::arrayFromPackagesFromString("").empty());
  EXPECT_TRUE(KVParsingUtility::arrayFromPackagesFromString("\n\n\n").empty());
}

TEST(ParsingUtilitySplitter, ContinuationLinesStayWithTheirOwnField) {
  auto stanzas = KVParsingUtility::arrayFromPackagesFromString(
      "Package: a\nDepends: x,\n y\nDescription: short\n long: with a colon\n .\n end\nSection: Tweaks\n");
  ASSERT_EQ(stanzas.size(), 1u);
  EXPECT_EQ(stanzas[0].value("Depends"), "x,\n y");
  EXPECT_EQ(stanzas[0].value("Description"), "short\n long: with a colon\n .\n end");
  EXPECT_EQ(stanzas[0].value("Section"), "Tweaks");
}

TEST(ParsingUtilitySplitter, AuthorAndMaintainerGainAnEmailField) {
  auto stanzas = KVParsingUtility::arrayFromPackagesFromString(
      "Package: a\nAuthor: Jane Doe <jane@example.org>\nMaintainer: Just A Name\n");
  ASSERT_EQ(stanzas.size(), 1u);
  EXPECT_EQ(stanzas[0].value("Author"), "Jane Doe");
  EXPECT_EQ(stanzas[0].value("AuthorEmail"), "jane@example.org");
  EXPECT_EQ(stanzas[0].value("Maintainer"), "Just A Name");
  EXPECT_FALSE(stanzas[0].contains("MaintainerEmail"));
  // The field order of the text is kept, new fields after it.
  Strings names;
  for (auto f : stanzas[0]) names.emplace_back(f.name);
  EXPECT_EQ(names, (Strings{"Package", "Author", "Maintainer", "AuthorEmail", "rawPackage"}));
}

TEST(ParsingUtilitySplitter, ReadsTheControlOfARealPackage) {
  TempDir dir;
  std::string root = dir.file("pkg");
  ASSERT_EQ(mkdir(root.c_str(), 0755), 0);
  ASSERT_EQ(mkdir((root + "/DEBIAN").c_str(), 0755), 0);
  std::string control =
      "Package: com.example.tweak\n"
      "Name: Example Tweak\n"
      "Version: 1.2~beta3-1\n"
      "Architecture: iphoneos-arm\n"
      "Maintainer: Jane Doe <jane@example.org>\n"
      "Depends: mobilesubstrate, firmware (>= 12.0)\n"
      "Description: does things\n"
      " Second line: with a colon.\n"
      " .\n"
      " Third paragraph.\n";
  writeFile(root + "/DEBIAN/control", control);
  std::string deb = dir.file("tweak.deb");
  ASSERT_EQ(std::system(("dpkg-deb --root-owner-group -b '" + root + "' '" + deb + "' >/dev/null 2>&1").c_str()), 0);
  std::string text = run("dpkg -I '" + deb + "' control");
  ASSERT_FALSE(text.empty());
  auto stanzas = KVParsingUtility::arrayFromPackagesFromString(text);
  ASSERT_EQ(stanzas.size(), 1u);
  const KVStanza& s = stanzas[0];
  EXPECT_EQ(s.value("Package"), "com.example.tweak");
  EXPECT_EQ(s.value("Version"), "1.2~beta3-1");
  EXPECT_EQ(s.value("Maintainer"), "Jane Doe");
  EXPECT_EQ(s.value("MaintainerEmail"), "jane@example.org");
  EXPECT_EQ(s.value("Description"), "does things\n Second line: with a colon.\n .\n Third paragraph.");
  EXPECT_EQ(s.value("rawPackage") + "\n", control);
  Value v = s.toValue();
  EXPECT_EQ(v["Name"].asString(), "Example Tweak");
}

// ---- list items and dependencies ----

TEST(ParsingUtilityFields, ItemsAreTrimmedDistinctAndInOrder) {
  auto items = KVParsingUtility::arrayOfItemsFromControlField(
      KVParsingUtility::componentsOfControlField("foo (>= 1.0), bar, foo (>= 1.0),  , baz | qux,\n folded"));
  EXPECT_EQ(items, (Strings{"foo (>= 1.0", "bar", "baz | qux", "folded"}));
  EXPECT_TRUE(KVParsingUtility::arrayOfItemsFromControlField({}).empty());
  EXPECT_TRUE(KVParsingUtility::componentsOfControlField(std::nullopt).empty());
  EXPECT_EQ(KVParsingUtility::componentsOfControlField("a,b"), (Strings{"a", "b"}));
  EXPECT_EQ(KVParsingUtility::charactersToRemoveFromArrayStrings(), "><=() ");
}

struct Deps {
  Strings list;
  bool incompatible = false;
  std::string min = "unset", max = "unset";
};

Deps deps(const std::string& depends, const std::string& device = "14.0", bool shows = false) {
  Deps d;
  d.list = KVParsingUtility::arrayOfDependenciesFromControlField(KVParsingUtility::componentsOfControlField(depends),
                                                                 shows, &d.incompatible, &d.min, &d.max, device);
  return d;
}

TEST(ParsingUtilityFields, DependenciesWithFirmwareLimits) {
  Deps d = deps("mobilesubstrate, firmware (>= 7.0), a | b");
  EXPECT_EQ(d.list, (Strings{"mobilesubstrate", "firmware(>=7.0)", "a OR b"}));
  EXPECT_EQ(d.min, "7.0");
  EXPECT_EQ(d.max, "");
  EXPECT_FALSE(d.incompatible);

  d = deps("firmware (>= 15.0), firmware (<< 17.0)", "14.8");
  EXPECT_EQ(d.min, "15.0");
  EXPECT_EQ(d.max, "17.0");
  EXPECT_TRUE(d.incompatible);
  EXPECT_FALSE(deps("firmware (>= 15.0), firmware (<< 17.0)", "16.1").incompatible);
  EXPECT_TRUE(deps("firmware (>= 15.0), firmware (<< 17.0)", "17.1").incompatible);
  // Shown anyway: the limits are read, no judgement is made.
  d = deps("firmware (>= 15.0)", "14.0", true);
  EXPECT_EQ(d.min, "15.0");
  EXPECT_FALSE(d.incompatible);
}

TEST(ParsingUtilityFields, StrictRelationsExcludeTheirOwnVersion) {
  EXPECT_TRUE(deps("firmware (<< 14.0)", "14.0").incompatible);
  EXPECT_FALSE(deps("firmware (<= 14.0)", "14.0").incompatible);
  EXPECT_TRUE(deps("firmware (>> 14.0)", "14.0").incompatible);
  EXPECT_FALSE(deps("firmware (>= 14.0)", "14.0").incompatible);
  EXPECT_FALSE(deps("firmware (<< 14.0)", "13.7").incompatible);
}

TEST(ParsingUtilityFields, OnlyTheFirmwarePackageSetsLimits) {
  Deps d = deps("firmware, firmware-sbin, firmware-sbin (>= 0-1), libfirmware (>= 9), firmware");
  EXPECT_EQ(d.list, (Strings{"firmware-sbin", "firmware-sbin(>=0-1)", "libfirmware(>=9)"}));
  EXPECT_EQ(d.min, "");
  EXPECT_EQ(d.max, "");
  // Alternatives set limits but are not judged; odd forms do not fail.
  d = deps("firmware (>= 16.0) | foo, firmware, firmware (, firmware (>= 2.0", "14.0");
  EXPECT_EQ(d.list, (Strings{"firmware(>=16.0) OR foo", "firmware(", "firmware(>=2.0"}));
  EXPECT_EQ(d.min, "2.0");
  EXPECT_FALSE(d.incompatible);
  // Places may be left out.
  auto list = KVParsingUtility::arrayOfDependenciesFromControlField({"a"}, false, nullptr, nullptr, nullptr, "14.0");
  EXPECT_EQ(list, (Strings{"a"}));
}

TEST(ParsingUtilityFields, FirmwareRangesOfARealIndex) {
  // Every firmware clause of the index gives limits that are versions, never a
  // leftover relation or parenthesis.
  QB_TESTDATA_OR_SKIP(index, "repos/poomsmart/repo/Packages");
  size_t withLimits = 0;
  KVParsingUtility::enumeratePackagesOfFileAtPath(
      index, [&](KVStanza& s) {
        Strings clauses = KVParsingUtility::componentsOfControlField(s.find("Depends"));
        Strings pre = KVParsingUtility::componentsOfControlField(s.find("Pre-Depends"));
        clauses.insert(clauses.end(), pre.begin(), pre.end());
        std::string min, max;
        bool incompatible = false;
        auto list = KVParsingUtility::arrayOfDependenciesFromControlField(clauses, false, &incompatible, &min, &max, "15.0");
        for (auto& d : list) EXPECT_EQ(d.find(' '), d.find(" OR ")) << d;
        for (auto* v : {&min, &max}) {
          if (v->empty()) continue;
          EXPECT_TRUE(std::regex_match(*v, std::regex("[0-9][0-9.]*"))) << *v << " in " << s.value("Package");
        }
        if (!min.empty() || !max.empty()) ++withLimits;
      });
  EXPECT_GT(withLimits, 50u);
}

// ---- contacts ----

TEST(ParsingUtilityFields, ContactNameAndAddress) {
  std::string name = "old", email = "old";
  KVParsingUtility::setContactFromField("Jane Doe <jane@example.org>", &name, &email);
  EXPECT_EQ(name, "Jane Doe");
  EXPECT_EQ(email, "jane@example.org");
  name = email = "old";
  KVParsingUtility::setContactFromField("Just A Name", &name, &email);
  EXPECT_EQ(name, "Just A Name");
  EXPECT_EQ(email, "old");
  KVParsingUtility::setContactFromField("A <a@x>, B <b@x>", &name, &email);
  EXPECT_EQ(name, "A");
  EXPECT_EQ(email, "a@x");
  KVParsingUtility::setContactFromField("\xE5\xB1\xB1\xE7\x94\xB0 <y@example.jp>", &name, &email);
  EXPECT_EQ(name, "\xE5\xB1\xB1\xE7\x94\xB0");
  KVParsingUtility::setContactFromField("x <y>", nullptr, nullptr);  // places may be absent
}

// ---- sources lists ----

TEST(ParsingUtilitySources, ReadsDebLinesAndURIsFields) {
  TempDir dir;
  writeFile(dir.file("manager.list"),
            "# a comment\n"
            "deb https://repo.example.org ./\n"
            "deb https://other.example.org/ stable main\r\n"
            "deb http://a.b ./\n"          // "http://a.b/" is 11 characters: kept
            "deb x ./\n"                   // "x/" is too short
            "deb-src https://src.example.org/ ./\n"
            "deb [arch=iphoneos-arm signed-by=/k.gpg] https://opts.example.org/ ./\n"
            "deb  https://double.example.org  ./\n"
            "deb https://caf\xE9.example.org/ ./\n"  // not UTF-8: read as Windows-1252
            // Locations our own sources list would read as something else are left out.
            "deb https://vt.example.org/\v./ stable main\n"
            "deb https://ff.example.org/\f ./\n"
            "deb https://hash.example.org/#x ./\n"
            "deb https://quote.example.org/\"x ./\n"
            "deb https://nbsp.example.org/\xA0x ./\n"  // U+00A0 once read as Windows-1252
            "\n");
  EXPECT_EQ(KVParsingUtility::sourceURLsFromSourceListAtPath(dir.file("manager.list")),
            (std::set<std::string>{"http://a.b/", "https://caf\xC3\xA9.example.org/", "https://double.example.org/",
                                   "https://opts.example.org/",
                                   "https://other.example.org/", "https://repo.example.org/"}));
  writeFile(dir.file("manager.sources"),
            "Types: deb\nURIs: https://one.example.org/\nSuites: ./\nComponents:\n\n"
            "Types: deb\nURIs: https://two.example.org https://three.example.org/\nSuites: ./\n\n"
            "Types: deb\nURIs: https://four.example.org/\v[trusted=yes]\nSuites: ./\n");
  EXPECT_EQ(KVParsingUtility::sourceURLsFromSourceListAtPath(dir.file("manager.sources")),
            (std::set<std::string>{"https://one.example.org/", "https://two.example.org/", "https://three.example.org/"}));
  EXPECT_TRUE(KVParsingUtility::sourceURLsFromSourceListAtPath(dir.file("missing.list")).empty());
}

// ---- encoding guess and the refresh date formatter ----

TEST(ParsingUtilityFiles, EncodingGuessOfControlFiles) {
  StringEncoding enc = StringEncoding::ASCII;
  TempDir dir;
  writeFile(dir.file("Release.utf8"), "Origin: Caf\xC3\xA9 Repo\nLabel: \xE2\x80\x9Cquoted\xE2\x80\x9D\n");
  auto release = KVParsingUtility::bestGuessStringForControlFileAtPath(dir.file("Release.utf8"), &enc);
  ASSERT_TRUE(release);
  EXPECT_EQ(enc, StringEncoding::UTF8);
  EXPECT_EQ(*release, "Origin: Caf\xC3\xA9 Repo\nLabel: \xE2\x80\x9Cquoted\xE2\x80\x9D\n");

  writeFile(dir.file("Release"), "Origin: Caf\xE9 Repo\nLabel: \x93quoted\x94\n");
  auto latin = KVParsingUtility::bestGuessStringForControlFileAtPath(dir.file("Release"), &enc);
  ASSERT_TRUE(latin);
  EXPECT_EQ(enc, StringEncoding::WindowsCP1252);
  EXPECT_EQ(*latin, "Origin: Caf\xC3\xA9 Repo\nLabel: \xE2\x80\x9Cquoted\xE2\x80\x9D\n");

  EXPECT_FALSE(KVParsingUtility::bestGuessStringForControlFileAtPath(dir.file("none"), &enc));
  EXPECT_FALSE(KVParsingUtility::bestGuessStringForControlFileAtPath(dir.path(), &enc));
}

TEST(ParsingUtilityFiles, RefreshDateFormatterIsSharedAndMinuteGrained) {
  const DateFormatter& a = KVParsingUtility::refreshDateFormatter();
  const DateFormatter& b = KVParsingUtility::refreshDateFormatter();
  EXPECT_EQ(&a, &b);
  std::string text = a.format(Date::fromUnix(1700000000));
  EXPECT_TRUE(std::regex_match(text, std::regex("20[0-9]{2}-[01][0-9]-[0-3][0-9] [0-2][0-9]:[0-5][0-9]"))) << text;
  auto back = a.parse(text);
  ASSERT_TRUE(back);
  EXPECT_EQ(a.format(*back), text);
}

TEST(ParsingUtilityFields, DependencyDescriptionKeepsItsFourTexts) {
  auto d = KVDependencyDescription::dependencyDescriptionWithIdentifier("a", "1.0", ">=", "https://r.example/");
  EXPECT_EQ(d, (KVDependencyDescription{"a", "1.0", ">=", "https://r.example/"}));
}

// ---- the stanza itself ----

TEST(Stanza, SetFindAppendErase) {
  KVStanza s;
  s.set("Package", "a");
  size_t d = s.set("Description", "one");
  s.set("Section", "x");
  s.appendToValue(d, "\n two");  // not the last value stored
  EXPECT_EQ(*s.find("description"), "one\n two");
  EXPECT_EQ(s.set("SECTION", "y"), 2u);
  EXPECT_EQ(s.field(2).name, "SECTION");
  EXPECT_EQ(s.value("section"), "y");
  // Values may be stored from the stanza's own views.
  for (int i = 0; i < 20; ++i) s.set("Copy" + std::to_string(i), *s.find("Description"));
  EXPECT_EQ(s.value("Copy19"), "one\n two");
  EXPECT_TRUE(s.erase("copy0"));
  EXPECT_FALSE(s.erase("copy0"));
  EXPECT_EQ(s.value("missing", "fallback"), "fallback");
  Value v = s.toValue();
  EXPECT_EQ(v.size(), s.size());
  EXPECT_EQ(v["Package"].asString(), "a");
  s.clear();
  EXPECT_TRUE(s.empty());
}

}  // namespace
