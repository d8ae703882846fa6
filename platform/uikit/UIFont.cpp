#include "uikit/UIFont.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "uikit/UIWindow.h"

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

namespace {
UIFont::Measurer gMeasurer;

double fixedWidth(const UIFont& font, const std::string& text) {
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
  double weight = font.weight();
  double factor = 1.0 + (weight > 0 ? weight * 0.15 : weight * 0.05);
  return std::ceil(em * font.pointSize() * factor * 100) / 100;
}
}  // namespace

namespace {
void relayOut(UIView& view) {
  view.setNeedsLayout();
  for (auto& sub : view.subviews()) relayOut(*sub);
}
}  // namespace

void UIFont::setTextMeasurer(Measurer measurer) {
  gMeasurer = std::move(measurer);
  // Every size measured before may have changed: each view on screen lays out again.
  for (UIWindow* window : std::vector<UIWindow*>(UIWindow::allWindows())) relayOut(*window);
}
const UIFont::Measurer& UIFont::textMeasurer() { return gMeasurer; }

double UIFont::widthOfString(const std::string& text) const {
  return gMeasurer ? gMeasurer(*this, text, 0).width : fixedWidth(*this, text);
}

UIFont::Extent UIFont::measure(const std::string& text, double width) const {
  if (gMeasurer) return gMeasurer(*this, text, width);
  Extent extent;
  for (size_t start = 0; start <= text.size();) {
    size_t end = text.find('\n', start);
    double w = fixedWidth(*this, text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    long wraps = 1;
    if (width > 0 && w > width) {
      wraps = long(std::ceil(w / width));
      w = width;
    }
    extent.width = std::max(extent.width, w);
    extent.lines += wraps;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return extent;
}

std::string UIFont::description() const {
  char buf[96];
  std::snprintf(buf, sizeof buf, "%s %.1f w%.2f%s", name_.c_str(), size_, weight_, italic_ ? " italic" : "");
  return buf;
}
