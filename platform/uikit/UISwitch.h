#pragma once
#include "uikit/UIControl.h"

class UISwitch : public UIControl {
 public:
  UISwitch() { setFrame(CGRect::make(0, 0, 51, 31)); }
  bool isOn() const { return on_; }
  void setOn(bool on, bool animated = false);
  const std::optional<UIColor>& onTintColor() const { return onTint_; }
  void setOnTintColor(std::optional<UIColor> color) { onTint_ = std::move(color); }
  // What a person's tap does: flips the switch and sends value-changed.
  void toggleByUser();
  bool appendScreenText(std::vector<std::string>& lines) const override;
  std::string screenLabel() const { return std::string(on_ ? "[on]" : "[off]") + (isEnabled() ? "" : " (disabled)"); }

 private:
  bool on_ = false;
  std::optional<UIColor> onTint_;
};
