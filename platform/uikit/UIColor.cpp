#include "uikit/UIColor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

namespace {
double clamp01(double v) { return std::isnan(v) ? 0 : std::clamp(v, 0.0, 1.0); }
}  // namespace

UIColor::UIColor(double r, double g, double b, double a, std::string name)
    : r_(clamp01(r)), g_(clamp01(g)), b_(clamp01(b)), a_(clamp01(a)), name_(std::move(name)) {}

UIColor UIColor::colorWithRed(double red, double green, double blue, double alpha) {
  return UIColor(red, green, blue, alpha);
}
UIColor UIColor::colorWithWhite(double white, double alpha) { return UIColor(white, white, white, alpha); }

UIColor UIColor::clearColor() { return UIColor(0, 0, 0, 0, "clearColor"); }
UIColor UIColor::whiteColor() { return UIColor(1, 1, 1, 1, "whiteColor"); }
UIColor UIColor::blackColor() { return UIColor(0, 0, 0, 1, "blackColor"); }
UIColor UIColor::darkTextColor() { return UIColor(0, 0, 0, 1, "darkTextColor"); }
UIColor UIColor::lightTextColor() { return UIColor(1, 1, 1, 0.6, "lightTextColor"); }
UIColor UIColor::grayColor() { return UIColor(0.5, 0.5, 0.5, 1, "grayColor"); }
UIColor UIColor::lightGrayColor() { return UIColor(2.0 / 3, 2.0 / 3, 2.0 / 3, 1, "lightGrayColor"); }
UIColor UIColor::darkGrayColor() { return UIColor(1.0 / 3, 1.0 / 3, 1.0 / 3, 1, "darkGrayColor"); }
UIColor UIColor::redColor() { return UIColor(1, 0, 0, 1, "redColor"); }
UIColor UIColor::greenColor() { return UIColor(0, 1, 0, 1, "greenColor"); }
UIColor UIColor::blueColor() { return UIColor(0, 0, 1, 1, "blueColor"); }
UIColor UIColor::orangeColor() { return UIColor(1, 0.5, 0, 1, "orangeColor"); }
UIColor UIColor::purpleColor() { return UIColor(0.5, 0, 0.5, 1, "purpleColor"); }
UIColor UIColor::yellowColor() { return UIColor(1, 1, 0, 1, "yellowColor"); }
UIColor UIColor::systemGreenColor() { return UIColor(52 / 255.0, 199 / 255.0, 89 / 255.0, 1, "systemGreenColor"); }
UIColor UIColor::systemRedColor() { return UIColor(1, 59 / 255.0, 48 / 255.0, 1, "systemRedColor"); }
UIColor UIColor::systemBlueColor() { return UIColor(0, 122 / 255.0, 1, 1, "systemBlueColor"); }
UIColor UIColor::systemOrangeColor() { return UIColor(1, 149 / 255.0, 0, 1, "systemOrangeColor"); }
UIColor UIColor::systemPurpleColor() { return UIColor(175 / 255.0, 82 / 255.0, 222 / 255.0, 1, "systemPurpleColor"); }
UIColor UIColor::systemYellowColor() { return UIColor(1, 204 / 255.0, 0, 1, "systemYellowColor"); }
UIColor UIColor::systemGrayColor() { return UIColor(142 / 255.0, 142 / 255.0, 147 / 255.0, 1, "systemGrayColor"); }
UIColor UIColor::labelColor() { return UIColor(0, 0, 0, 1, "labelColor"); }
UIColor UIColor::secondaryLabelColor() { return UIColor(60 / 255.0, 60 / 255.0, 67 / 255.0, 0.6, "secondaryLabelColor"); }
UIColor UIColor::systemBackgroundColor() { return UIColor(1, 1, 1, 1, "systemBackgroundColor"); }

UIColor UIColor::namedSystemColor(const std::string& name, bool* found) {
  static const std::map<std::string, UIColor (*)()> table = {
      {"clearColor", &clearColor},           {"whiteColor", &whiteColor},
      {"blackColor", &blackColor},           {"darkTextColor", &darkTextColor},
      {"lightTextColor", &lightTextColor},   {"grayColor", &grayColor},
      {"lightGrayColor", &lightGrayColor},   {"darkGrayColor", &darkGrayColor},
      {"redColor", &redColor},               {"greenColor", &greenColor},
      {"blueColor", &blueColor},             {"orangeColor", &orangeColor},
      {"purpleColor", &purpleColor},         {"yellowColor", &yellowColor},
      {"systemGreenColor", &systemGreenColor}, {"systemRedColor", &systemRedColor},
      {"systemBlueColor", &systemBlueColor}, {"systemOrangeColor", &systemOrangeColor},
      {"systemPurpleColor", &systemPurpleColor}, {"systemYellowColor", &systemYellowColor},
      {"systemGrayColor", &systemGrayColor}, {"labelColor", &labelColor},
      {"secondaryLabelColor", &secondaryLabelColor}, {"systemBackgroundColor", &systemBackgroundColor},
  };
  auto it = table.find(name);
  if (found) *found = it != table.end();
  return it == table.end() ? clearColor() : it->second();
}

bool UIColor::getRed(double* red, double* green, double* blue, double* alpha) const {
  if (red) *red = r_;
  if (green) *green = g_;
  if (blue) *blue = b_;
  if (alpha) *alpha = a_;
  return true;
}

UIColor UIColor::colorWithAlphaComponent(double alpha) const { return UIColor(r_, g_, b_, alpha); }

std::string UIColor::description() const {
  if (!name_.empty()) return name_;
  char buf[80];
  std::snprintf(buf, sizeof buf, "rgba(%.3f, %.3f, %.3f, %.3f)", r_, g_, b_, a_);
  return buf;
}

bool UIColor::operator==(const UIColor& o) const {
  auto eq = [](double x, double y) { return std::fabs(x - y) < 1e-9; };
  return eq(r_, o.r_) && eq(g_, o.g_) && eq(b_, o.b_) && eq(a_, o.a_);
}
