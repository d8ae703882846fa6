#pragma once
// Dates formatted and parsed with fixed ICU patterns in a POSIX locale, so digits and
// calendars never follow the host's locale.
#include <memory>
#include <optional>
#include <string>

#include "foundation/Date.h"

class DateFormatter {
 public:
  // `timeZone` is an Olson name ("UTC", "GMT", "Europe/Paris"); empty means the
  // system's time zone.
  explicit DateFormatter(const std::string& pattern, const std::string& timeZone = "UTC");
  ~DateFormatter();
  DateFormatter(const DateFormatter&) = delete;
  DateFormatter& operator=(const DateFormatter&) = delete;

  std::string format(Date date) const;
  std::optional<Date> parse(const std::string& text) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
