#pragma once
// The on-screen keyboard: shown while a text input is first responder, announced with
// the platform's keyboard notifications. Their user info carries
// "UIKeyboardFrameEndUserInfoKey" (a dictionary x, y, width, height),
// "UIKeyboardAnimationDurationUserInfoKey" (0.25) and
// "UIKeyboardAnimationCurveUserInfoKey" (7).
enum UIKeyboardAppearance : long {
  UIKeyboardAppearanceDefault = 0,
  UIKeyboardAppearanceDark = 1,
  UIKeyboardAppearanceLight = 2,
};

class UIKeyboard {
 public:
  static void show();
  static void hide();
  static bool isVisible();
  static double height();  // 291 on a phone, 398 on a pad
};

inline constexpr const char* UIKeyboardWillShowNotification = "UIKeyboardWillShowNotification";
inline constexpr const char* UIKeyboardDidShowNotification = "UIKeyboardDidShowNotification";
inline constexpr const char* UIKeyboardWillHideNotification = "UIKeyboardWillHideNotification";
inline constexpr const char* UIKeyboardDidHideNotification = "UIKeyboardDidHideNotification";
