#include "interface/UIButtonGetButton.h"

#include "uikit/UIButton.h"
#include "uikit/UILongPressGestureRecognizer.h"
#include "uikit/UISelectionFeedbackGenerator.h"

namespace {
// The recognizer stored on a button is the one attached to it with this marker.
const char kHapticPressOwner = 0;

std::shared_ptr<UILongPressGestureRecognizer> storedHapticPress(UIButton& button) {
  for (const auto& recognizer : button.gestureRecognizers()) {
    if (auto press = std::dynamic_pointer_cast<UILongPressGestureRecognizer>(recognizer);
        press && press->hasTarget(&kHapticPressOwner))
      return press;
  }
  return nullptr;
}
}  // namespace

void UIButtonGetButton::animateButton(UIButton& button) {
  CGAffineTransform kept = button.transform();
  unsigned long options = UIViewAnimationOptionAllowUserInteraction | UIViewAnimationOptionBeginFromCurrentState;
  std::weak_ptr<UIView> weak = button.weak_from_this();
  UIView::animateWithDuration(
      0.25, 0, options, [&button] { button.setTransform(CGAffineTransform::identity().scaled(0.9, 0.9)); },
      [weak, kept, options](bool) {
        auto view = weak.lock();
        if (!view) return;
        UIView::animateWithDuration(0.25, 0, options, [view, kept] { view->setTransform(kept); });
      });
}

std::shared_ptr<UILongPressGestureRecognizer> UIButtonGetButton::hapticPress(UIButton& button) {
  if (auto stored = storedHapticPress(button)) return stored;
  std::weak_ptr<UIView> weak = button.weak_from_this();
  auto press = std::make_shared<UILongPressGestureRecognizer>(
      [weak](UIGestureRecognizer& recognizer) {
        if (auto view = std::static_pointer_cast<UIButton>(weak.lock())) hapticPressAction(*view, recognizer);
      },
      &kHapticPressOwner);
  press->setNumberOfTouchesRequired(1);
  press->setNumberOfTapsRequired(0);
  press->setMinimumPressDuration(0.2);
  button.addGestureRecognizer(press);
  return press;
}

void UIButtonGetButton::setHapticPress(UIButton& button, std::shared_ptr<UILongPressGestureRecognizer> recognizer) {
  if (auto old = storedHapticPress(button); old == recognizer) return;
  else if (old) button.removeGestureRecognizer(old.get());
  if (!recognizer) return;
  recognizer->addTarget(&kHapticPressOwner, [weak = button.weak_from_this()](UIGestureRecognizer& r) {
    if (auto view = std::static_pointer_cast<UIButton>(weak.lock())) hapticPressAction(*view, r);
  });
  button.addGestureRecognizer(std::move(recognizer));
}

void UIButtonGetButton::addTarget(UIButton& button, const void* target, UIGestureRecognizer::Action action) {
  hapticPress(button)->addTarget(target, std::move(action));
}

void UIButtonGetButton::hapticPressAction(UIButton& button, UIGestureRecognizer& recognizer) {
  if (recognizer.state() != UIGestureRecognizerStateBegan) return;
  UISelectionFeedbackGenerator feedback;
  feedback.prepare();
  feedback.selectionChanged();
  animateButton(button);
}
