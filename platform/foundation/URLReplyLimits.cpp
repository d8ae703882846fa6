#include "foundation/URLReplyLimits.h"

#include <cmath>

namespace {
std::string bytesText(int64_t bytes) {
  const char* units[] = {"bytes", "KiB", "MiB", "GiB"};
  int unit = 0;
  while (unit < 3 && bytes >= 1024 && bytes % 1024 == 0) {
    bytes /= 1024;
    ++unit;
  }
  return std::to_string(bytes) + " " + units[unit];
}

std::string secondsText(double seconds) {
  long whole = std::lround(seconds);
  if (whole >= 3600 && whole % 3600 == 0) return std::to_string(whole / 3600) + " h";
  if (whole >= 60 && whole % 60 == 0) return std::to_string(whole / 60) + " min";
  return std::to_string(whole) + " s";
}
}  // namespace

URLReplyLimits URLReplyLimits::withDefaults(const URLReplyLimits& defaults) const {
  URLReplyLimits merged = defaults;
  if (kind) merged.kind = kind;
  if (maximumBodyLength > 0) merged.maximumBodyLength = maximumBodyLength;
  if (deadline > 0) merged.deadline = deadline;
  if (minimumBytesPerSecond > 0) merged.minimumBytesPerSecond = minimumBytesPerSecond;
  return merged;
}

std::string URLReplyLimits::ceilingReason() const {
  return "The reply is larger than " + bytesText(maximumBodyLength) + ", the most " + (kind ? kind : "a reply") +
         " may bring.";
}

std::string URLReplyLimits::deadlineReason() const {
  return "The reply took longer than " + secondsText(deadline) + ", the longest " + (kind ? kind : "a reply") +
         " may take.";
}

std::string URLReplyLimits::rateReason(double windowSeconds) const {
  return "The reply came slower than " + std::to_string(minimumBytesPerSecond) + " bytes a second for " +
         secondsText(windowSeconds) + ".";
}
