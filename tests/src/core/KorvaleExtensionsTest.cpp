#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "core/NSDataStringEncoding.h"
#include "core/NSStringKorvaleExtensions.h"

using namespace NSStringKorvaleExtensions;

namespace {

// 2021-06-15T12:00:00Z
const Date kStamp = Date::fromUnix(1623758400);
const char* const kStampText = "2021-06-15T12:00:00Z";

std::optional<std::string> ago(double seconds) { return timeSince(kStampText, kStamp.addingTimeInterval(seconds)); }

}  // namespace

TEST(TimeSinceTest, EveryUnitAndItsBoundaries) {
  // Whole units gone by, one of them singular.
  EXPECT_EQ(ago(0), "0 seconds ago");
  EXPECT_EQ(ago(1.5), "1 second ago");
  EXPECT_EQ(ago(59), "59 seconds ago");
  EXPECT_EQ(ago(60), "1 minute ago");
  EXPECT_EQ(ago(119), "1 minute ago");
  EXPECT_EQ(ago(120), "2 minutes ago");
  EXPECT_EQ(ago(3599), "59 minutes ago");
  EXPECT_EQ(ago(3600), "1 hour ago");
  EXPECT_EQ(ago(7199), "1 hour ago");
  EXPECT_EQ(ago(7200), "2 hours ago");
  EXPECT_EQ(ago(86399), "23 hours ago");
  EXPECT_EQ(ago(86400), "1 day ago");
  EXPECT_EQ(ago(90000), "1 day ago");
  EXPECT_EQ(ago(172799), "1 day ago");
  EXPECT_EQ(ago(172800), "2 days ago");
  EXPECT_EQ(ago(86400 * 400), "400 days ago");
}

TEST(TimeSinceTest, EmptyMalformedAndFutureStamps) {
  EXPECT_EQ(timeSince(""), std::nullopt);
  EXPECT_EQ(timeSince("", kStamp), std::nullopt);
  EXPECT_EQ(timeSince("yesterday", kStamp), std::nullopt);
  EXPECT_EQ(timeSince("2021-06-15 12:00:00", kStamp), std::nullopt);
  EXPECT_EQ(timeSince("2021-06-15T12:00:00Z trailing", kStamp), std::nullopt);
  EXPECT_EQ(timeSince("2021-13-45T12:00:00Z", kStamp), std::nullopt);
  EXPECT_EQ(ago(-30), "0 seconds ago");
  // Against the real clock an old stamp is days old.
  std::optional<std::string> real = timeSince("2001-01-01T00:00:00Z");
  ASSERT_TRUE(real);
  EXPECT_NE(real->find("days ago"), std::string::npos);
}

TEST(TimeSinceTest, TheZStampIsUTCWhateverTheHostZone) {
  const char* saved = std::getenv("TZ");
  std::string restore = saved ? saved : "";
  setenv("TZ", "Asia/Tokyo", 1);
  tzset();
  EXPECT_EQ(ago(45), "45 seconds ago");
  if (saved) setenv("TZ", restore.c_str(), 1);
  else unsetenv("TZ");
  tzset();
}

TEST(VersionNumberTest, PacksAndOrders) {
  EXPECT_EQ(versionNumber("1"), 0x01008000u);
  EXPECT_EQ(versionNumber("1.2"), 0x01208000u);
  EXPECT_EQ(versionNumber("1.2.3"), 0x01238000u);
  EXPECT_EQ(versionNumber("1.2.3d4"), 0x01232004u);
  EXPECT_EQ(versionNumber("10.0a1"), 0x0A004001u);
  EXPECT_EQ(versionNumber("2b"), 0x02006000u);
  EXPECT_EQ(versionNumber("255.15.15f255"), 0xFFFF80FFu);
  EXPECT_LT(versionNumber("1.0d9"), versionNumber("1.0a1"));
  EXPECT_LT(versionNumber("1.0a9"), versionNumber("1.0b1"));
  EXPECT_LT(versionNumber("1.0b9"), versionNumber("1.0"));
  EXPECT_LT(versionNumber("1.0"), versionNumber("1.0.1"));
  EXPECT_LT(versionNumber("1.9"), versionNumber("2.0"));

  for (const char* bad : {"", "x", "1.", ".1", "1..2", "1.2.3.4", "256", "1.16", "1.2.3e1",
                          "1.2.3b256", "1.2.3b1x", "1.2.3b1.5", "01234567890123456"})
    EXPECT_EQ(versionNumber(bad), 0u) << bad;
}

TEST(DependencyDescriptionTest, SplitsIdentifierClauseAndRepository) {
  EXPECT_EQ(dependencyDescription("com.ex.tweak|>= 1.2-1|https://repo.example/"),
            KVDependencyDescription::dependencyDescriptionWithIdentifier("com.ex.tweak", "1.2-1", ">=",
                                                                        "https://repo.example/"));
  EXPECT_EQ(dependencyDescription("com.ex.tweak| EQ 2 |https://a/|https://b/"),
            KVDependencyDescription::dependencyDescriptionWithIdentifier("com.ex.tweak", "2", "eq", "https://b/"));
  // A clause without a digit names no version; a single piece is no repository.
  EXPECT_EQ(dependencyDescription("com.ex.tweak|any|https://r/"),
            KVDependencyDescription::dependencyDescriptionWithIdentifier("com.ex.tweak", "", "", "https://r/"));
  EXPECT_EQ(dependencyDescription("com.ex.tweak|<<3"),
            KVDependencyDescription::dependencyDescriptionWithIdentifier("com.ex.tweak", "3", "<<", ""));
  EXPECT_EQ(dependencyDescription("com.ex.tweak"),
            KVDependencyDescription::dependencyDescriptionWithIdentifier("com.ex.tweak", "", "", ""));
  EXPECT_EQ(dependencyDescription("|").identifier, "");
}

TEST(StringValueTest, DetectsTheEncoding) {
  StringEncoding encoding{};
  EXPECT_EQ(NSDataStringEncoding::stringValue(dataFromString("Package: caf\xC3\xA9"), &encoding),
            "Package: caf\xC3\xA9");
  EXPECT_EQ(encoding, StringEncoding::UTF8);
  EXPECT_EQ(NSDataStringEncoding::stringValue(Data{'c', 'a', 'f', 0xE9}, &encoding), "caf\xC3\xA9");
  EXPECT_EQ(encoding, StringEncoding::WindowsCP1252);
  EXPECT_EQ(NSDataStringEncoding::stringValue(Data{0xFF, 0xFE, 'h', 0, 'i', 0}), "hi");
}
