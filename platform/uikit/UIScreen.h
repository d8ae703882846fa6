#pragma once
// The main screen: bounds in points and the scale of its pixels.
#include "uikit/UIGeometry.h"
#include "uikit/UITraitCollection.h"

class UIScreen {
 public:
  static UIScreen& mainScreen();
  CGRect bounds() const { return bounds_; }
  void setBounds(CGRect bounds) { bounds_ = bounds; }
  double scale() const { return scale_; }
  void setScale(double scale) { scale_ = scale; }
  // The safe-area insets of a full-screen window (status bar and home indicator).
  UIEdgeInsets safeAreaInsets() const { return safeArea_; }
  void setSafeAreaInsets(UIEdgeInsets insets) { safeArea_ = insets; }
  // The system's own light or dark appearance (UIApplication announces changes).
  UIUserInterfaceStyle systemUserInterfaceStyle() const { return systemStyle_; }
  void setSystemUserInterfaceStyle(UIUserInterfaceStyle style) { systemStyle_ = style; }
  void reset();

 private:
  UIScreen() { reset(); }
  CGRect bounds_;
  double scale_ = 3;
  UIEdgeInsets safeArea_;
  UIUserInterfaceStyle systemStyle_ = UIUserInterfaceStyleLight;
};
