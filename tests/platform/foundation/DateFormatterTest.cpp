#include "foundation/DateFormatter.h"

#include <gtest/gtest.h>
#include <unicode/locid.h>

#include <atomic>
#include <clocale>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

const Date kNov14 = Date::fromUnix(1700000000);  // Tue, 14 Nov 2023 22:13:20 UTC

TEST(DateFormatter, FormatsAndParsesAFixedPatternInUTC) {
  DateFormatter f("yyyy-MM-dd HH:mm");
  EXPECT_EQ(f.format(kNov14), "2023-11-14 22:13");
  auto back = f.parse("2023-11-14 22:13");
  ASSERT_TRUE(back);
  EXPECT_DOUBLE_EQ(back->unixSeconds(), 1700000000 - 20);  // the pattern has no seconds
  EXPECT_EQ(f.format(Date::fromUnix(0)), "1970-01-01 00:00");

  DateFormatter iso("yyyy-MM-dd'T'HH:mm:ss.SSS'Z'");
  Date precise = Date::fromUnix(1700000000.125);
  EXPECT_EQ(iso.format(precise), "2023-11-14T22:13:20.125Z");
  ASSERT_TRUE(iso.parse("2023-11-14T22:13:20.125Z"));
  EXPECT_NEAR(iso.parse("2023-11-14T22:13:20.125Z")->unixSeconds(), 1700000000.125, 1e-6);
}

TEST(DateFormatter, ReadsAndWritesHTTPDates) {
  DateFormatter http("EEE, dd MMM yyyy HH:mm:ss zzz", "GMT");
  EXPECT_EQ(http.format(kNov14), "Tue, 14 Nov 2023 22:13:20 GMT");
  auto d = http.parse("Sun, 06 Nov 1994 08:49:37 GMT");
  ASSERT_TRUE(d);
  EXPECT_DOUBLE_EQ(d->unixSeconds(), 784111777);
  EXPECT_EQ(http.format(*d), "Sun, 06 Nov 1994 08:49:37 GMT");

  // The same text read by a formatter in UTC lands on the same instant.
  DateFormatter utc("EEE, dd MMM yyyy HH:mm:ss zzz", "UTC");
  auto same = utc.parse("Sun, 06 Nov 1994 08:49:37 GMT");
  ASSERT_TRUE(same);
  EXPECT_DOUBLE_EQ(same->seconds, d->seconds);
}

TEST(DateFormatter, TextThatDoesNotMatchGivesNothing) {
  DateFormatter f("yyyy-MM-dd HH:mm");
  for (const char* bad : {"", "2023/11/14 22:13", "2023-11-14", "2023-11-14 22:13 and more", "yesterday",
                          "2023-13-40 25:99", "\xff\xfe"}) {
    EXPECT_FALSE(f.parse(bad)) << bad;
  }
  DateFormatter http("EEE, dd MMM yyyy HH:mm:ss zzz", "GMT");
  EXPECT_FALSE(http.parse("Sunday, 06-Nov-94 08:49:37 GMT"));
  EXPECT_FALSE(http.parse("Sun, 06 Novembre 1994 08:49:37 GMT"));
}

TEST(DateFormatter, OtherTimeZonesShiftTheWallClock) {
  DateFormatter paris("yyyy-MM-dd HH:mm zzz", "Europe/Paris");
  EXPECT_EQ(paris.format(kNov14).substr(0, 16), "2023-11-14 23:13");
  DateFormatter tokyo("yyyy-MM-dd HH:mm", "Asia/Tokyo");
  EXPECT_EQ(tokyo.format(kNov14), "2023-11-15 07:13");
  auto back = tokyo.parse("2023-11-15 07:13");
  ASSERT_TRUE(back);
  EXPECT_DOUBLE_EQ(back->unixSeconds(), 1700000000 - 20);
}

TEST(DateFormatter, IgnoresTheHostLocale) {
  // A German host: environment and ICU's default locale both say so.
  const char* oldAll = std::getenv("LC_ALL");
  std::string saved = oldAll ? oldAll : "";
  setenv("LC_ALL", "de_DE.UTF-8", 1);
  std::setlocale(LC_ALL, "");  // takes effect where the locale is installed
  icu::Locale oldDefault = icu::Locale::getDefault();
  UErrorCode status = U_ZERO_ERROR;
  icu::Locale::setDefault(icu::Locale("de_DE"), status);

  DateFormatter http("EEE, dd MMM yyyy HH:mm:ss zzz", "GMT");
  DateFormatter months("dd. MMMM yyyy", "UTC");
  DateFormatter numeric("yyyy-MM-dd HH:mm:ss.SSS", "UTC");
  std::string httpText = http.format(Date::fromUnix(1709294400));  // 1 Mar 2024, "Mär" in German
  std::string monthText = months.format(Date::fromUnix(1709294400));
  std::string numericText = numeric.format(Date::fromUnix(1709294400.5));
  auto parsed = http.parse("Fri, 01 Mar 2024 12:00:00 GMT");

  icu::Locale::setDefault(oldDefault, status);
  std::setlocale(LC_ALL, "C");
  if (oldAll) setenv("LC_ALL", saved.c_str(), 1);
  else unsetenv("LC_ALL");

  EXPECT_EQ(httpText, "Fri, 01 Mar 2024 12:00:00 GMT");
  EXPECT_EQ(monthText, "01. March 2024");
  EXPECT_EQ(numericText, "2024-03-01 12:00:00.500");
  ASSERT_TRUE(parsed);
  EXPECT_DOUBLE_EQ(parsed->unixSeconds(), 1709294400);
}

TEST(DateFormatter, OneFormatterServesManyThreads) {
  DateFormatter f("yyyy-MM-dd HH:mm:ss");
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        Date d = Date::fromUnix(1700000000 + t * 86400 + i);
        auto back = f.parse(f.format(d));
        if (!back || back->seconds != d.seconds) ++wrong;
      }
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(wrong, 0);
}

}  // namespace
