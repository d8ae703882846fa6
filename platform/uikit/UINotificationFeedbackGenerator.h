#pragma once
#include "uikit/UIFeedbackGenerator.h"

enum UINotificationFeedbackType : long {
  UINotificationFeedbackTypeSuccess = 0,
  UINotificationFeedbackTypeWarning = 1,
  UINotificationFeedbackTypeError = 2,
};

// The pattern of a success, a warning or an error.
class UINotificationFeedbackGenerator : public UIFeedbackGenerator {
 public:
  void notificationOccurred(UINotificationFeedbackType type) { play("notification", type); }
};
