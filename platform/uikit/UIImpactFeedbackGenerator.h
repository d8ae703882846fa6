#pragma once
#include "uikit/UIFeedbackGenerator.h"

enum UIImpactFeedbackStyle : long {
  UIImpactFeedbackStyleLight = 0,
  UIImpactFeedbackStyleMedium = 1,
  UIImpactFeedbackStyleHeavy = 2,
  UIImpactFeedbackStyleSoft = 3,
  UIImpactFeedbackStyleRigid = 4,
};

// The knock of a collision, in one of the impact styles.
class UIImpactFeedbackGenerator : public UIFeedbackGenerator {
 public:
  explicit UIImpactFeedbackGenerator(UIImpactFeedbackStyle style = UIImpactFeedbackStyleMedium) : style_(style) {}
  UIImpactFeedbackStyle style() const { return style_; }
  void impactOccurred() { play("impact", style_); }

 private:
  UIImpactFeedbackStyle style_;
};
