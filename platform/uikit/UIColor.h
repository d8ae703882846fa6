#pragma once
// A colour as red, green, blue and alpha fractions. Named system colours keep their
// name so the screen text and tests can tell "whiteColor" from a mixed white.
#include <string>

class UIColor {
 public:
  UIColor() = default;  // clear
  static UIColor colorWithRed(double red, double green, double blue, double alpha);
  static UIColor colorWithWhite(double white, double alpha);

  static UIColor clearColor();
  static UIColor whiteColor();
  static UIColor blackColor();
  static UIColor darkTextColor();
  static UIColor lightTextColor();
  static UIColor grayColor();
  static UIColor lightGrayColor();
  static UIColor darkGrayColor();
  static UIColor redColor();
  static UIColor greenColor();
  static UIColor blueColor();
  static UIColor orangeColor();
  static UIColor purpleColor();
  static UIColor yellowColor();
  static UIColor systemGreenColor();
  static UIColor systemRedColor();
  static UIColor systemBlueColor();
  static UIColor systemOrangeColor();
  static UIColor systemPurpleColor();
  static UIColor systemYellowColor();
  static UIColor systemGrayColor();
  static UIColor labelColor();
  static UIColor secondaryLabelColor();
  static UIColor systemBackgroundColor();
  // A system colour by its selector name ("whiteColor", "systemRedColor"); clear when unknown.
  static UIColor namedSystemColor(const std::string& name, bool* found = nullptr);

  // Always succeeds: every colour here is kept as RGBA.
  bool getRed(double* red, double* green, double* blue, double* alpha) const;
  double red() const { return r_; }
  double green() const { return g_; }
  double blue() const { return b_; }
  double alpha() const { return a_; }
  UIColor colorWithAlphaComponent(double alpha) const;
  const std::string& name() const { return name_; }
  // "whiteColor", or "rgba(0.070, 0.110, 0.150, 1.000)".
  std::string description() const;

  // Equal when the four components are equal; the name does not count.
  bool operator==(const UIColor& o) const;
  bool operator!=(const UIColor& o) const { return !(*this == o); }

 private:
  UIColor(double r, double g, double b, double a, std::string name = {});
  double r_ = 0, g_ = 0, b_ = 0, a_ = 0;
  std::string name_;
};
