#include "foundation/HTTPDate.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>

namespace {

const Date kExample = Date::fromUnix(784111777);  // the RFC's own Sun, 06 Nov 1994 08:49:37 GMT

Date yearStart(int year) {
  struct tm tm {};
  tm.tm_year = year - 1900;
  tm.tm_mday = 1;
  return Date::fromUnix(static_cast<double>(timegm(&tm)));
}

TEST(HTTPDate, WritesIMFFixdate) {
  EXPECT_EQ(HTTPDate::format(kExample), "Sun, 06 Nov 1994 08:49:37 GMT");
  EXPECT_EQ(HTTPDate::format(Date::fromUnix(1572941049)), "Tue, 05 Nov 2019 08:04:09 GMT");
  // Fractions of a second are dropped, also before 1970.
  EXPECT_EQ(HTTPDate::format(Date::fromUnix(784111777.999)), "Sun, 06 Nov 1994 08:49:37 GMT");
  EXPECT_EQ(HTTPDate::format(Date::fromUnix(-0.5)), "Wed, 31 Dec 1969 23:59:59 GMT");
  // The earliest date the platform has is the first day of year 1 (a Monday in the
  // proleptic Gregorian calendar); dates past year 9999 stay in four digits.
  EXPECT_EQ(HTTPDate::format(Date::distantPast()), "Mon, 01 Jan 0001 00:00:00 GMT");
  EXPECT_EQ(HTTPDate::format(Date::distantPast().addingTimeInterval(-1e9)), "Mon, 01 Jan 0001 00:00:00 GMT");
  EXPECT_EQ(HTTPDate::format(Date{1e15}), "Fri, 31 Dec 9999 23:59:59 GMT");
}

TEST(HTTPDate, AgreesWithTheCLibraryOnEveryDayFrom1902To2037) {
  char expected[64];
  for (time_t t = -2145916800 + 45296; t < 2145916800; t += 86400) {
    struct tm tm {};
    gmtime_r(&t, &tm);
    strftime(expected, sizeof expected, "%a, %d %b %Y %H:%M:%S GMT", &tm);  // the C locale's names
    const Date date = Date::fromUnix(static_cast<double>(t));
    ASSERT_EQ(HTTPDate::format(date), expected);
    ASSERT_EQ(HTTPDate::parse(expected), date) << expected;
  }
}

TEST(HTTPDate, ReadsTheThreeFormsARecipientMustAccept) {
  EXPECT_EQ(HTTPDate::parse("Sun, 06 Nov 1994 08:49:37 GMT"), kExample);
  EXPECT_EQ(HTTPDate::parse("Sunday, 06-Nov-94 08:49:37 GMT"), kExample);
  EXPECT_EQ(HTTPDate::parse("Sun Nov  6 08:49:37 1994"), kExample);
  EXPECT_EQ(HTTPDate::parse("Wed Nov 16 08:49:37 1994"), kExample.addingTimeInterval(10 * 86400));
  // Every date ever written reads back, from year 1 on.
  EXPECT_EQ(HTTPDate::parse(HTTPDate::format(Date::distantPast())), Date::distantPast());
  // A leap second is the next minute's first.
  EXPECT_EQ(HTTPDate::parse("Sat, 31 Dec 2016 23:59:60 GMT"), Date::fromUnix(1483228800));
}

TEST(HTTPDate, ATwoDigitYearIsNeverMoreThanFiftyYearsAhead) {
  const Date now = yearStart(2026).addingTimeInterval(100 * 86400);
  auto yearOf = [&](const char* text) {
    auto date = HTTPDate::parse(text, now);
    if (!date) return 0;
    time_t t = static_cast<time_t>(date->unixSeconds());
    struct tm tm {};
    gmtime_r(&t, &tm);
    return tm.tm_year + 1900;
  };
  EXPECT_EQ(yearOf("Sunday, 06-Nov-94 08:49:37 GMT"), 1994);
  EXPECT_EQ(yearOf("Thursday, 01-Jan-26 00:00:00 GMT"), 2026);
  EXPECT_EQ(yearOf("Saturday, 01-Jan-76 00:00:00 GMT"), 2076);
  EXPECT_EQ(yearOf("Saturday, 01-Jan-77 00:00:00 GMT"), 1977);
  EXPECT_EQ(yearOf("Saturday, 01-Jan-00 00:00:00 GMT"), 2000);
  // Near the end of a century the window moves into the next one.
  const Date late = yearStart(2090);
  auto in2090 = HTTPDate::parse("Friday, 01-Jan-10 00:00:00 GMT", late);
  ASSERT_TRUE(in2090);
  EXPECT_EQ(*in2090, yearStart(2110));
}

TEST(HTTPDate, RefusesWhatIsNoHTTPDate) {
  for (const char* text : {
           "",
           "Sun, 06 Nov 1994 08:49:37",            // no zone
           "Sun, 06 Nov 1994 08:49:37 UTC",        // only GMT exists
           "Sun, 06 Nov 1994 08:49:37 +0000",      //
           "Sun, 6 Nov 1994 08:49:37 GMT",         // IMF-fixdate has two-digit days
           "Sun,  06 Nov 1994 08:49:37 GMT",       // no extra whitespace
           "Sun, 06 Nov 1994 08:49:37 GMT ",       //
           "sun, 06 nov 1994 08:49:37 GMT",        // the names are case-sensitive
           "Son, 06 Nov 1994 08:49:37 GMT",        // English names only
           "Sun, 06 Nov 94 08:49:37 GMT",          // four-digit years in IMF-fixdate
           "Sun, 06 Nov 1994 8:49:37 GMT",         //
           "Sun, 06 Nov 1994 24:00:00 GMT",        // no such hour
           "Sun, 06 Nov 1994 08:60:00 GMT",        //
           "Sun, 06 Nov 1994 08:49:61 GMT",        //
           "Thu, 29 Feb 1900 00:00:00 GMT",        // no such day
           "Sun, 31 Apr 1994 00:00:00 GMT",        //
           "Sun, 00 Nov 1994 08:49:37 GMT",        //
           "Sun, 06-Nov-94 08:49:37 GMT",          // RFC 850 takes the long day name
           "Sunday, 06-Nov-1994 08:49:37 GMT",     // and a two-digit year
           "Sun Nov 6 08:49:37 1994",              // asctime pads the day with a space
           "Sun Nov  6 08:49:37 1994 GMT",         //
           "1994-11-06T08:49:37Z",                 //
           "784111777",                            //
       }) {
    EXPECT_FALSE(HTTPDate::parse(text)) << '"' << text << '"';
  }
  EXPECT_TRUE(HTTPDate::parse("Tue, 29 Feb 2000 00:00:00 GMT"));
  // A text with a zero byte inside is not read past it.
  EXPECT_FALSE(HTTPDate::parse(std::string("Sun, 06 Nov 1994 08:49:37 GMT\0junk", 35)));
}

}  // namespace
