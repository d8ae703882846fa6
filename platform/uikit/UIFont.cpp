#include "uikit/UIFont.h"

#include <cmath>
#include <cstdio>
#include <cstring>

UIFont UIFont::systemFontOfSize(double size, double weight) {
  UIFont f;
  f.size_ = size;
  f.weight_ = weight;
  return f;
}
UIFont UIFont::boldSystemFontOfSize(double size) { return systemFontOfSize(size, UIFontWeightBold); }
UIFont UIFont::italicSystemFontOfSize(double size) {
  UIFont f = systemFontOfSize(size);
  f.italic_ = true;
  return f;
}
UIFont UIFont::fontWithName(const std::string& name, double size) {
  UIFont f = systemFontOfSize(size);
  f.name_ = name;
  if (name.find("Bold") != std::string::npos) f.weight_ = UIFontWeightBold;
  return f;
}

double UIFont::lineHeight() const { return std::ceil(size_ * 1.2); }

UIFont UIFont::fontWithSize(double size) const {
  UIFont f = *this;
  f.size_ = size;
  return f;
}

UIFont UIFont::fontWithWeight(double weight, bool italic) const {
  UIFont f = *this;
  f.weight_ = weight;
  f.italic_ = italic;
  return f;
}

double UIFont::widthOfString(const std::string& text) const {
  double em = 0;
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : 4;
    if (len == 1) {
      if (c == ' ') em += 0.28;
      else if (std::strchr("iljtf.,;:'!|I()[]", c)) em += 0.30;
      else if (std::strchr("mwMW", c)) em += 0.85;
      else if (c >= 'A' && c <= 'Z') em += 0.66;
      else if (c >= '0' && c <= '9') em += 0.56;
      else em += 0.52;
    } else {
      em += len >= 3 ? 1.0 : 0.6;  // CJK and symbols are wide
    }
    i += len;
  }
  double factor = 1.0 + (weight_ > 0 ? weight_ * 0.15 : weight_ * 0.05);
  return std::ceil(em * size_ * factor * 100) / 100;
}

std::string UIFont::description() const {
  char buf[96];
  std::snprintf(buf, sizeof buf, "%s %.1f w%.2f%s", name_.c_str(), size_, weight_, italic_ ? " italic" : "");
  return buf;
}
