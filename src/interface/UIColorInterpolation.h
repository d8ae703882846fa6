#pragma once
#include "uikit/UIColor.h"

namespace UIColorInterpolation {
// A colour between `from` and `target`; the fraction is clamped to 0..1 (not a number counts as 0).
UIColor lerpToColor(const UIColor& from, const UIColor& target, double fraction);
}  // namespace UIColorInterpolation
