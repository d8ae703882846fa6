#pragma once
// What the pointer and the keys do to the key window's views, apart from any display: a
// click is a tap on the view under it, a held click a long press (its long-press
// recognizers fire on the main loop's clock while the button stays down; a row with an
// edit menu shows it after half a second), dragging with the button down scrolls the
// scroll view under the pointer (released, it goes on at the pointer's speed, slowing on
// the main loop's clock until it stops or meets the content's edge), slides a row
// sideways to uncover its swipe actions, or turns a picker's wheel; the wheel scrolls
// or turns it too.
#include <cstdint>
#include <memory>
#include <vector>

#include "uikit/UIGeometry.h"

class UIGestureRecognizer;
class UIPickerView;
class UIScrollView;
class UITableView;
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
  // Wheel notches at the pointer, positive away from the user (the content moves down;
  // a picker's wheel shows the rows before).
  void wheel(double notches);
  // Sideways notches at the pointer (a tilted wheel, a touchpad's swipe), positive to
  // the right: the row under the pointer uncovers the actions at its right, or puts back
  // those at its left; the other way, the reverse.
  void wheelSideways(double notches);
  // The Up and Down keys: the wheel of the picker last used, else of the first one shown,
  // turns by `rows` (positive: down its rows); answers whether one turned.
  bool turnPicker(long rows);
  // The front-most visible view of the key window under the point that takes touches.
  static UIView* viewAt(CGPoint at);

 private:
  enum class Drag { None, Scroll, Row, Picker };
  void press(CGPoint at);
  void move(CGPoint at);
  void release(CGPoint at);
  void click(CGPoint at);
  void endPress();
  void decelerate(double releasedAtY);
  void stopDeceleration();
  void cancelMenuTimer();
  // Puts back the swipe actions or the menu a row shows, unless `hit` is one of their
  // buttons; answers whether there were any to put back.
  bool closeRowActions(UIView* hit);

  CGPoint at_;
  bool down_ = false;
  bool dragging_ = false;
  bool swallowed_ = false;  // the press only put back what a row showed
  bool menuShown_ = false;  // the press was held until a row showed its menu
  Drag drag_ = Drag::None;
  CGPoint pressedAt_;
  CGPoint offsetAtPress_;
  std::weak_ptr<UIScrollView> dragged_;
  std::weak_ptr<UITableView> pressedTable_;  // the table of the row pressed, if any
  NSIndexPath pressedRow_;
  std::weak_ptr<UIPickerView> pressedPicker_, lastPicker_;
  long pickerComponent_ = 0, pickerRowAtPress_ = 0;
  std::weak_ptr<UITableView> showingActions_;  // whose row shows actions or a menu the pointer opened
  std::vector<std::weak_ptr<UIGestureRecognizer>> pressing_;  // the long-press recognizers watching this press
  std::vector<std::pair<double, double>> moves_;              // (time, y) of the pointer's last moves
  uint64_t decelerating_ = 0;                                 // the timer of a released drag, or 0
  uint64_t menuTimer_ = 0;                                    // the timer of a held row's menu, or 0
  double sideways_ = 0;                                       // sideways notches not acted on yet
  struct {
    double at = -1e9;
    CGPoint point;
    std::weak_ptr<UIPickerView> picker;
  } lastWheel_;  // when and where the wheel last turned, and the picker it turned if any
};
