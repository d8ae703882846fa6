#pragma once
// What the pointer does to the key window's views, apart from any display: a click is a
// tap on the view under it, a held click a long press (its long-press recognizers fire
// on the main loop's clock while the button stays down), dragging with the button down
// scrolls the scroll view under the pointer (released, it goes on at the pointer's speed,
// slowing on the main loop's clock until it stops or meets the content's edge), and the
// wheel scrolls it too.
#include <cstdint>
#include <memory>
#include <vector>

#include "uikit/UIGeometry.h"

class UIGestureRecognizer;
class UIScrollView;
class UIView;

class WindowInput {
 public:
  WindowInput() = default;
  ~WindowInput();
  WindowInput(const WindowInput&) = delete;
  WindowInput& operator=(const WindowInput&) = delete;

  // Where the pointer is (in the window's points) and whether its button is down; a
  // press, a release and a move are each one call.
  void pointer(CGPoint at, bool buttonDown);
  // Wheel notches at the pointer, positive away from the user (the content moves down).
  void wheel(double notches);
  // The front-most visible view of the key window under the point that takes touches.
  static UIView* viewAt(CGPoint at);

 private:
  void click(CGPoint at);
  void endPress();
  void decelerate(double releasedAtY);
  void stopDeceleration();

  CGPoint at_;
  bool down_ = false;
  bool dragging_ = false;
  CGPoint pressedAt_;
  CGPoint offsetAtPress_;
  std::weak_ptr<UIScrollView> dragged_;
  std::vector<std::weak_ptr<UIGestureRecognizer>> pressing_;
  std::vector<std::pair<double, double>> moves_;  // (time, y) of the pointer's last moves
  uint64_t decelerating_ = 0;                       // the timer of a released drag, or 0  // the long-press recognizers watching this press
};
