#include "richtext/CSSDeclarations.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace CSSDeclarations {

namespace {

std::string trimmed(std::string_view text) {
  size_t start = 0, end = text.size();
  while (start < end && std::isspace(static_cast<unsigned char>(text[start]))) ++start;
  while (end > start && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  return std::string(text.substr(start, end - start));
}

std::string lowercased(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The number at the start of the text and what follows it; none without digits.
std::optional<std::pair<double, std::string>> number(const std::string& text) {
  const char* begin = text.c_str();
  char* end = nullptr;
  double value = std::strtod(begin, &end);
  if (end == begin) return std::nullopt;
  return std::make_pair(value, lowercased(trimmed(end)));
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> parse(std::string_view declarations) {
  std::vector<std::pair<std::string, std::string>> out;
  size_t at = 0;
  while (at <= declarations.size()) {
    size_t end = declarations.find(';', at);
    if (end == std::string_view::npos) end = declarations.size();
    std::string_view one = declarations.substr(at, end - at);
    if (size_t colon = one.find(':'); colon != std::string_view::npos) {
      std::string property = lowercased(trimmed(one.substr(0, colon)));
      std::string value = trimmed(one.substr(colon + 1));
      if (size_t mark = lowercased(value).find("!important"); mark != std::string::npos)
        value = trimmed(std::string_view(value).substr(0, mark));
      if (!property.empty() && !value.empty()) out.emplace_back(std::move(property), std::move(value));
    }
    at = end + 1;
  }
  return out;
}

std::optional<double> length(const std::string& value, double current) {
  auto parsed = number(value);
  if (!parsed || parsed->first <= 0) return std::nullopt;
  const auto& [amount, unit] = *parsed;
  if (unit.empty() || unit == "px" || unit == "pt") return amount;
  if (unit == "em" || unit == "rem") return amount * current;
  if (unit == "%") return amount * current / 100;
  return std::nullopt;
}

std::optional<bool> isBold(const std::string& value) {
  std::string weight = lowercased(value);
  if (weight == "bold" || weight == "bolder") return true;
  if (weight == "normal" || weight == "lighter") return false;
  if (auto parsed = number(weight); parsed && parsed->second.empty()) return parsed->first >= 600;
  return std::nullopt;
}

std::string firstFamily(const std::string& value) {
  std::string family = trimmed(std::string_view(value).substr(0, value.find(',')));
  if (family.size() >= 2 && (family.front() == '"' || family.front() == '\'') && family.back() == family.front())
    family = family.substr(1, family.size() - 2);
  return family;
}

std::optional<UIColor> color(const std::string& value) {
  std::string text = lowercased(trimmed(value));
  struct Named {
    const char* name;
    int rgb;
  };
  static constexpr Named names[] = {
      {"black", 0x000000}, {"silver", 0xc0c0c0}, {"gray", 0x808080},   {"grey", 0x808080},   {"white", 0xffffff},
      {"maroon", 0x800000}, {"red", 0xff0000},   {"purple", 0x800080}, {"fuchsia", 0xff00ff}, {"green", 0x008000},
      {"lime", 0x00ff00},  {"olive", 0x808000}, {"yellow", 0xffff00}, {"navy", 0x000080},   {"blue", 0x0000ff},
      {"teal", 0x008080},  {"aqua", 0x00ffff},  {"orange", 0xffa500}};
  auto fromRGB = [](int rgb, double alpha = 1) {
    return UIColor::colorWithRed(((rgb >> 16) & 0xff) / 255.0, ((rgb >> 8) & 0xff) / 255.0, (rgb & 0xff) / 255.0, alpha);
  };
  for (const Named& named : names)
    if (text == named.name) return fromRGB(named.rgb);
  if (text == "transparent") return UIColor::clearColor();
  if (!text.empty() && text[0] == '#') {
    std::string digits = text.substr(1);
    for (char c : digits)
      if (hexDigit(c) < 0) return std::nullopt;
    if (digits.size() == 3) {
      int rgb = 0;
      for (char c : digits) rgb = rgb * 256 + hexDigit(c) * 17;
      return fromRGB(rgb);
    }
    if (digits.size() == 6) return fromRGB(static_cast<int>(std::strtol(digits.c_str(), nullptr, 16)));
    return std::nullopt;
  }
  if (text.rfind("rgb", 0) == 0) {
    size_t open = text.find('('), close = text.find(')');
    if (open == std::string::npos || close == std::string::npos || close < open) return std::nullopt;
    std::vector<double> parts;
    std::string inside = text.substr(open + 1, close - open - 1);
    for (size_t at = 0; at <= inside.size();) {
      size_t end = inside.find(',', at);
      if (end == std::string::npos) end = inside.size();
      auto parsed = number(trimmed(std::string_view(inside).substr(at, end - at)));
      if (!parsed) return std::nullopt;
      parts.push_back(parsed->second == "%" ? parsed->first * 2.55 : parsed->first);
      at = end + 1;
    }
    if (parts.size() != 3 && parts.size() != 4) return std::nullopt;
    auto channel = [](double v) { return std::min(std::max(v, 0.0), 255.0) / 255.0; };
    double alpha = parts.size() == 4 ? std::min(std::max(parts[3], 0.0), 1.0) : 1.0;
    return UIColor::colorWithRed(channel(parts[0]), channel(parts[1]), channel(parts[2]), alpha);
  }
  return std::nullopt;
}

}  // namespace CSSDeclarations
