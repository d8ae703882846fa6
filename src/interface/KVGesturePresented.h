#pragma once
// A screen that the tab bar's card opens and that then offers its own Close button.
class KVGesturePresented {
 public:
  virtual ~KVGesturePresented() = default;
  virtual bool shownFromGesture() const = 0;
  virtual void setShownFromGesture(bool shown) = 0;
};
