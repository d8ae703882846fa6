#pragma once
#include "uikit/UIView.h"

class UIActivityIndicatorView : public UIView {
 public:
  UIActivityIndicatorView() { setHidden(true); }
  void startAnimating();
  void stopAnimating();
  bool isAnimating() const { return animating_; }
  bool hidesWhenStopped() const { return hidesWhenStopped_; }
  void setHidesWhenStopped(bool value);
  const std::optional<UIColor>& color() const { return color_; }
  void setColor(std::optional<UIColor> color) { color_ = std::move(color); }
  bool appendScreenText(std::vector<std::string>& lines) const override;

 private:
  bool animating_ = false;
  bool hidesWhenStopped_ = true;
  std::optional<UIColor> color_;
};
