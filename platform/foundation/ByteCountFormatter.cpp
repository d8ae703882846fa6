#include "foundation/ByteCountFormatter.h"

#include <cmath>
#include <cstdio>

namespace ByteCountFormatter {

namespace {
// The value rounded to `decimals` places, without trailing zeros.
std::string number(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  std::string out = text;
  if (out.find('.') != std::string::npos) {
    while (out.back() == '0') out.pop_back();
    if (out.back() == '.') out.pop_back();
  }
  return out;
}
}  // namespace

std::string stringFromByteCount(int64_t bytes) {
  if (bytes == 0) return "Zero KB";
  std::string sign = bytes < 0 ? "-" : "";
  double value = std::fabs(static_cast<double>(bytes));
  if (value < 1000) return sign + number(value, 0) + (value == 1 ? " byte" : " bytes");
  static const char* const kUnits[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
  static const int kDecimals[] = {0, 1, 2, 2, 2, 2};
  size_t unit = 0;
  value /= 1000;
  // A value that rounds to 1000 of one unit is 1 of the next.
  while (unit + 1 < std::size(kUnits) &&
         std::round(value * std::pow(10, kDecimals[unit])) / std::pow(10, kDecimals[unit]) >= 1000) {
    value /= 1000;
    ++unit;
  }
  return sign + number(value, kDecimals[unit]) + " " + kUnits[unit];
}

}  // namespace ByteCountFormatter
