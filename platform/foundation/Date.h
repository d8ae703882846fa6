#pragma once
// A point in time as seconds since the reference date 2001-01-01 00:00:00 UTC,
// the same epoch the device's platform uses, so stored dates keep their meaning.
#include <compare>
#include <cstdint>

struct Date {
  double seconds = 0;  // since 2001-01-01 00:00:00 UTC

  static constexpr double kUnixToReference = 978307200.0;

  // Reads the process clock (Clock), so a test that drives the clock by hand moves
  // "now" with it.
  static Date now();
  static Date fromUnix(double unixSeconds) { return Date{unixSeconds - kUnixToReference}; }
  static Date distantPast() { return Date{-63113904000.0}; }
  static Date distantFuture() { return Date{63113904000.0}; }

  double unixSeconds() const { return seconds + kUnixToReference; }
  double timeIntervalSinceDate(Date other) const { return seconds - other.seconds; }
  double timeIntervalSinceNow() const { return seconds - now().seconds; }
  Date addingTimeInterval(double interval) const { return Date{seconds + interval}; }

  auto operator<=>(const Date&) const = default;
};
