#pragma once
// The traits a screen sees: light or dark style, idiom and scale.
#include "uikit/UIDevice.h"

enum UIUserInterfaceStyle : long {
  UIUserInterfaceStyleUnspecified = 0,
  UIUserInterfaceStyleLight = 1,
  UIUserInterfaceStyleDark = 2,
};

struct UITraitCollection {
  UIUserInterfaceStyle userInterfaceStyle = UIUserInterfaceStyleLight;
  UIUserInterfaceIdiom userInterfaceIdiom = UIUserInterfaceIdiomPhone;
  double displayScale = 3;
  bool operator==(const UITraitCollection& o) const {
    return userInterfaceStyle == o.userInterfaceStyle && userInterfaceIdiom == o.userInterfaceIdiom &&
           displayScale == o.displayScale;
  }
  bool operator!=(const UITraitCollection& o) const { return !(*this == o); }
};
