#include "interface/UIColorInterpolation.h"

#include <algorithm>
#include <cmath>

namespace UIColorInterpolation {
UIColor lerpToColor(const UIColor& from, const UIColor& target, double fraction) {
  double f = std::isnan(fraction) ? 0 : std::clamp(fraction, 0.0, 1.0);
  double r1, g1, b1, a1, r2, g2, b2, a2;
  from.getRed(&r1, &g1, &b1, &a1);
  target.getRed(&r2, &g2, &b2, &a2);
  return UIColor::colorWithRed(r1 + f * (r2 - r1), g1 + f * (g2 - g1), b1 + f * (b2 - b1), a1 + f * (a2 - a1));
}
}  // namespace UIColorInterpolation
