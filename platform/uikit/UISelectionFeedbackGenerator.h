#pragma once
#include "uikit/UIFeedbackGenerator.h"

// The tick of a changed selection.
class UISelectionFeedbackGenerator : public UIFeedbackGenerator {
 public:
  void selectionChanged() { play("selection", 0); }
};
