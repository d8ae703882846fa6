#pragma once
// Debian version ordering (epoch, upstream version, revision; "~" before everything,
// even the end of the text), in the form APT uses. Any byte string has a place in the
// order: nothing is validated. An absent version is passed as an empty view and sorts
// as the empty text.
#include <optional>
#include <string_view>

namespace NSStringVersionCompare {

// Relations understood by compareTo().
enum CompareOperator : int {
  kEqualTo = 0,
  kGreaterThan = 1,
  kEqualToOrGreaterThan = 2,
  kLessThan = 3,
  kEqualToOrLessThan = 4,
  kAlways = 5,
};

// Negative when a is older than b, 0 when equal, positive when newer. Only the sign
// means anything.
int compareVersion(std::string_view a, std::string_view b);

// Tests compareVersion(left, right) by `op`. kAlways answers true without comparing;
// an unknown operator answers false and is logged.
bool compareTo(std::string_view left, std::string_view right, int op);

inline bool equalTo(std::string_view left, std::string_view right) {
  return compareVersion(left, right) == 0;
}
inline bool greaterThan(std::string_view left, std::string_view right) {
  return compareVersion(left, right) > 0;
}
inline bool equalToOrGreaterThan(std::string_view left, std::string_view right) {
  return compareVersion(left, right) >= 0;
}
inline bool lessThan(std::string_view left, std::string_view right) {
  return compareVersion(left, right) < 0;
}
inline bool equalToOrLessThan(std::string_view left, std::string_view right) {
  return compareVersion(left, right) <= 0;
}

// Twins whose first version may be absent: an absent first version answers false,
// whatever the relation.
bool versionIsGreaterThan(std::optional<std::string_view> version, std::string_view other);
bool versionIsLessThan(std::optional<std::string_view> version, std::string_view other);
bool versionIsEqualTo(std::optional<std::string_view> version, std::string_view other);
bool versionIsEqualOrGreaterThan(std::optional<std::string_view> version, std::string_view other);
bool versionIsEqualOrLessThan(std::optional<std::string_view> version, std::string_view other);

}  // namespace NSStringVersionCompare
