#include "foundation/HTTPDate.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "foundation/CivilDays.h"

namespace {

constexpr std::array<const char*, 7> kDays = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
constexpr std::array<const char*, 7> kLongDays = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                                  "Friday", "Saturday", "Sunday"};
constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

constexpr int64_t kSecondsPerDay = 86400;

bool isLeap(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int64_t year, int month) {
  static constexpr int kLengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && isLeap(year) ? 29 : kLengths[month - 1];
}

// A cursor over the text; every reader consumes exactly what the grammar allows.
class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  bool literal(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) return false;
    at_ += word.size();
    return true;
  }
  // Exactly COUNT digits.
  bool digits(int count, int& value) {
    value = 0;
    for (int i = 0; i < count; ++i) {
      if (at_ >= text_.size() || text_[at_] < '0' || text_[at_] > '9') return false;
      value = value * 10 + (text_[at_++] - '0');
    }
    return true;
  }
  template <size_t N>
  bool oneOf(const std::array<const char*, N>& names, int& index) {
    for (size_t i = 0; i < N; ++i) {
      if (literal(names[i])) {
        index = static_cast<int>(i);
        return true;
      }
    }
    return false;
  }
  // time-of-day = hour ":" minute ":" second
  bool timeOfDay(int& hour, int& minute, int& second) {
    return digits(2, hour) && literal(":") && digits(2, minute) && literal(":") && digits(2, second);
  }
  bool atEnd() const { return at_ == text_.size(); }

 private:
  std::string_view text_;
  size_t at_ = 0;
};

struct Fields {
  int64_t year = 0;
  int month = 0;  // 1-12
  int day = 0;
  int hour = 0, minute = 0, second = 0;
};

// IMF-fixdate = day-name "," SP date1 SP time-of-day SP GMT
bool readFixdate(std::string_view text, Fields& f) {
  Reader r(text);
  int ignored, month, year;
  if (!(r.oneOf(kDays, ignored) && r.literal(", ") && r.digits(2, f.day) && r.literal(" ") &&
        r.oneOf(kMonths, month) && r.literal(" ") && r.digits(4, year) && r.literal(" ") &&
        r.timeOfDay(f.hour, f.minute, f.second) && r.literal(" GMT") && r.atEnd()))
    return false;
  f.month = month + 1;
  f.year = year;
  return true;
}

// rfc850-date = day-name-l "," SP date2 SP time-of-day SP GMT; date2 = day "-" month "-" 2DIGIT
bool readRfc850(std::string_view text, Date now, Fields& f) {
  Reader r(text);
  int ignored, month, twoDigits;
  if (!(r.oneOf(kLongDays, ignored) && r.literal(", ") && r.digits(2, f.day) && r.literal("-") &&
        r.oneOf(kMonths, month) && r.literal("-") && r.digits(2, twoDigits) && r.literal(" ") &&
        r.timeOfDay(f.hour, f.minute, f.second) && r.literal(" GMT") && r.atEnd()))
    return false;
  f.month = month + 1;
  // A year that would be more than 50 years ahead is the latest past one with the
  // same last two digits.
  const int64_t nowDays = static_cast<int64_t>(std::floor(now.unixSeconds() / kSecondsPerDay));
  const int64_t thisYear = CivilDays::toCivil(nowDays).year;
  int64_t year = thisYear - thisYear % 100 + twoDigits;
  if (year > thisYear + 50) year -= 100;
  else if (year <= thisYear - 50) year += 100;
  f.year = year;
  return true;
}

// asctime-date = day-name SP date3 SP time-of-day SP year; date3 = month SP ( 2DIGIT / ( SP 1DIGIT ))
bool readAsctime(std::string_view text, Fields& f) {
  Reader r(text);
  int ignored, month, year;
  if (!(r.oneOf(kDays, ignored) && r.literal(" ") && r.oneOf(kMonths, month) && r.literal(" ")))
    return false;
  if (r.literal(" ")) {
    if (!r.digits(1, f.day)) return false;
  } else if (!r.digits(2, f.day)) {
    return false;
  }
  if (!(r.literal(" ") && r.timeOfDay(f.hour, f.minute, f.second) && r.literal(" ") && r.digits(4, year) &&
        r.atEnd()))
    return false;
  f.month = month + 1;
  f.year = year;
  return true;
}

std::optional<Date> toDate(const Fields& f) {
  // second may be 60 (a leap second); it is read as the next minute's first.
  if (f.day < 1 || f.day > daysInMonth(f.year, f.month) || f.hour > 23 || f.minute > 59 || f.second > 60)
    return std::nullopt;
  const int64_t days = CivilDays::fromCivil(f.year, f.month, f.day);
  const double unix = static_cast<double>(days * kSecondsPerDay + f.hour * 3600 + f.minute * 60 + f.second);
  return Date::fromUnix(unix);
}

}  // namespace

namespace HTTPDate {

std::string format(Date date) {
  const double lowest = static_cast<double>(CivilDays::fromCivil(1, 1, 1) * kSecondsPerDay);
  const double highest = static_cast<double>(CivilDays::fromCivil(10000, 1, 1) * kSecondsPerDay) - 1;
  double unix = date.unixSeconds();
  if (std::isnan(unix)) unix = lowest;
  const auto seconds = static_cast<int64_t>(std::floor(std::clamp(unix, lowest, highest)));
  int64_t days = seconds / kSecondsPerDay;
  int64_t inDay = seconds % kSecondsPerDay;
  if (inDay < 0) {
    inDay += kSecondsPerDay;
    days -= 1;
  }
  const CivilDays::Civil c = CivilDays::toCivil(days);
  // 1970-01-01 was a Thursday (index 3 from Monday).
  const auto weekday = static_cast<size_t>(((days % 7) + 7 + 3) % 7);
  char text[40];
  std::snprintf(text, sizeof text, "%s, %02d %s %04lld %02d:%02d:%02d GMT", kDays[weekday], c.day,
                kMonths[static_cast<size_t>(c.month - 1)], static_cast<long long>(c.year),
                static_cast<int>(inDay / 3600), static_cast<int>(inDay / 60 % 60), static_cast<int>(inDay % 60));
  return text;
}

std::optional<Date> parse(std::string_view text, Date now) {
  if (Fields f; readFixdate(text, f)) return toDate(f);
  if (Fields f; readRfc850(text, now, f)) return toDate(f);
  if (Fields f; readAsctime(text, f)) return toDate(f);
  return std::nullopt;
}

std::optional<Date> parse(std::string_view text) { return parse(text, Date::now()); }

}  // namespace HTTPDate
