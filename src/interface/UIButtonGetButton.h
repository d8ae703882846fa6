#pragma once
// UIButton(GetButton): the action button's press bounce and its long-press recognizer
// (0.2 s, one touch), made on first use and kept on the button, which gives a
// selection tick and a bounce when it begins.
#include <memory>

#include "uikit/UIGestureRecognizer.h"

class UIButton;
class UILongPressGestureRecognizer;

namespace UIButtonGetButton {
// Shrinks the button to 0.9 over 0.25 s and back to its transform over 0.25 s.
void animateButton(UIButton& button);
// The button's recognizer, made and attached on first use.
std::shared_ptr<UILongPressGestureRecognizer> hapticPress(UIButton& button);
void setHapticPress(UIButton& button, std::shared_ptr<UILongPressGestureRecognizer> recognizer);
// Adds a target's action to the recognizer, making it first when needed.
void addTarget(UIButton& button, const void* target, UIGestureRecognizer::Action action);
// The recognizer's own action: in the began state a selection tick and the bounce.
void hapticPressAction(UIButton& button, UIGestureRecognizer& recognizer);
}  // namespace UIButtonGetButton
