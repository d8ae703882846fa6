#include "core/NSStringKorvaleExtensions.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <vector>

#include "foundation/DateFormatter.h"
#include "foundation/Log.h"

namespace NSStringKorvaleExtensions {

std::optional<std::string> timeSince(std::string_view timeStamp) {
  return timeSince(timeStamp, Date::now());
}

std::optional<std::string> timeSince(std::string_view timeStamp, Date now) {
  if (timeStamp.empty()) return std::nullopt;
  static const DateFormatter formatter("yyyy-MM-dd'T'HH:mm:ss'Z'", "UTC");
  std::optional<Date> then = formatter.parse(std::string(timeStamp));
  if (!then) return std::nullopt;
  double t = std::max(0.0, now.timeIntervalSinceDate(*then));
  // Whole units gone by: 119 seconds are "1 minute ago", not a rounded "2 minute ago".
  auto ago = [](double units, const char* one, const char* many) {
    double whole = std::floor(units);
    return qblog::format("%.0f %s ago", whole, whole == 1 ? one : many);
  };
  if (t < 60) return ago(t, "second", "seconds");
  if (t < 3600) return ago(t / 60, "minute", "minutes");
  if (t < 86400) return ago(t / 3600, "hour", "hours");
  return ago(t / 86400, "day", "days");
}

namespace {

// Reads a run of digits at `at` no larger than `max`; false when there is none or it is
// too large.
bool readNumber(std::string_view text, size_t& at, uint32_t max, uint32_t& value) {
  size_t start = at;
  value = 0;
  while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
    value = value * 10 + static_cast<uint32_t>(text[at] - '0');
    if (value > max) return false;
    ++at;
  }
  return at > start;
}

std::string_view trimmed(std::string_view text) {
  auto isSpace = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

uint32_t versionNumber(std::string_view version) {
  if (version.empty() || version.size() > 15) return 0;
  uint32_t parts[3] = {0, 0, 0};
  const uint32_t limits[3] = {255, 15, 15};
  size_t at = 0;
  for (int i = 0; i < 3; ++i) {
    if (!readNumber(version, at, limits[i], parts[i])) return 0;
    if (at == version.size() || version[at] != '.' || i == 2) break;
    ++at;
  }
  uint32_t stage = 0x80, build = 0;
  if (at < version.size()) {
    switch (version[at]) {
      case 'd': stage = 0x20; break;
      case 'a': stage = 0x40; break;
      case 'b': stage = 0x60; break;
      case 'f': stage = 0x80; break;
      default: return 0;
    }
    ++at;
    if (at < version.size() && !readNumber(version, at, 255, build)) return 0;
    if (at != version.size()) return 0;
  }
  return parts[0] << 24 | parts[1] << 20 | parts[2] << 16 | stage << 8 | build;
}

KVDependencyDescription dependencyDescription(std::string_view text) {
  KVDependencyDescription description;
  size_t bar = text.find('|');
  description.identifier = std::string(text.substr(0, bar));
  if (bar == std::string_view::npos) return description;

  std::vector<std::string_view> pieces;
  std::string_view rest = text.substr(bar + 1);
  for (;;) {
    size_t next = rest.find('|');
    pieces.push_back(rest.substr(0, next));
    if (next == std::string_view::npos) break;
    rest.remove_prefix(next + 1);
  }
  std::string_view clause = pieces.front();
  auto digit = std::find_if(clause.begin(), clause.end(),
                            [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
  if (digit != clause.end()) {
    size_t cutAt = static_cast<size_t>(digit - clause.begin());
    description.operation = std::string(trimmed(clause.substr(0, cutAt)));
    for (char& c : description.operation) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    description.version = std::string(trimmed(clause.substr(cutAt)));
  }
  if (pieces.size() >= 2) description.repoURLString = std::string(pieces.back());
  return description;
}

std::vector<std::string> componentsSeparatedByCharacter(std::string_view text, char separator) {
  std::vector<std::string> pieces;
  size_t start = 0;
  while (true) {
    size_t at = text.find(separator, start);
    pieces.emplace_back(text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
    if (at == std::string_view::npos) return pieces;
    start = at + 1;
  }
}

}  // namespace NSStringKorvaleExtensions
