#pragma once
#include <optional>

#include "uikit/UIView.h"

enum UIBlurEffectStyle : long {
  UIBlurEffectStyleExtraLight = 0,
  UIBlurEffectStyleLight = 1,
  UIBlurEffectStyleDark = 2,
  UIBlurEffectStyleRegular = 4,
  UIBlurEffectStyleProminent = 5,
};

// A blurred backdrop; its content goes into contentView.
class UIVisualEffectView : public UIView {
 public:
  explicit UIVisualEffectView(std::optional<UIBlurEffectStyle> effect = std::nullopt);
  const std::optional<UIBlurEffectStyle>& effect() const { return effect_; }
  void setEffect(std::optional<UIBlurEffectStyle> effect) { effect_ = effect; }
  UIView* contentView() const { return contentView_.get(); }

 private:
  std::optional<UIBlurEffectStyle> effect_;
  std::shared_ptr<UIView> contentView_;
};
