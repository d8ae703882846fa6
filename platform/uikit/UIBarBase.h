#pragma once
// What the navigation bar and the tab bar share: the bar style, translucency and bar
// colour. Their items are printed by the window, not by the bar's view.
#include <optional>
#include <string>
#include <vector>

#include "uikit/UIView.h"

enum UIBarStyle : long { UIBarStyleDefault = 0, UIBarStyleBlack = 1 };

class UIBarBase : public UIView {
 public:
  using UIView::UIView;
  UIBarStyle barStyle() const { return barStyle_; }
  void setBarStyle(UIBarStyle style) { barStyle_ = style; }
  bool isTranslucent() const { return translucent_; }
  void setTranslucent(bool translucent) { translucent_ = translucent; }
  const std::optional<UIColor>& barTintColor() const { return barTintColor_; }
  void setBarTintColor(std::optional<UIColor> color) { barTintColor_ = std::move(color); }
  bool appendScreenText(std::vector<std::string>&) const override { return true; }

 private:
  UIBarStyle barStyle_ = UIBarStyleDefault;
  bool translucent_ = true;
  std::optional<UIColor> barTintColor_;
};
