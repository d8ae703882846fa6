#pragma once
#include "uikit/UIView.h"

enum UIProgressViewStyle : long { UIProgressViewStyleDefault = 0, UIProgressViewStyleBar = 1 };

class UIProgressView : public UIView {
 public:
  explicit UIProgressView(UIProgressViewStyle style = UIProgressViewStyleDefault) : style_(style) {}
  UIProgressViewStyle progressViewStyle() const { return style_; }
  float progress() const { return progress_; }
  void setProgress(float progress, bool animated = false);
  const std::optional<UIColor>& progressTintColor() const { return progressTint_; }
  void setProgressTintColor(std::optional<UIColor> color) { progressTint_ = std::move(color); }
  const std::optional<UIColor>& trackTintColor() const { return trackTint_; }
  void setTrackTintColor(std::optional<UIColor> color) { trackTint_ = std::move(color); }
  bool appendScreenText(std::vector<std::string>& lines) const override;

 private:
  UIProgressViewStyle style_;
  float progress_ = 0;
  std::optional<UIColor> progressTint_, trackTint_;
};
