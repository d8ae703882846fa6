#pragma once
// A control: target-actions per control event, and the enabled, selected and
// highlighted states.
#include <functional>

#include "uikit/UIView.h"

enum UIControlEvents : unsigned long {
  UIControlEventTouchDown = 1 << 0,
  UIControlEventTouchDownRepeat = 1 << 1,
  UIControlEventTouchDragInside = 1 << 2,
  UIControlEventTouchDragOutside = 1 << 3,
  UIControlEventTouchDragEnter = 1 << 4,
  UIControlEventTouchDragExit = 1 << 5,
  UIControlEventTouchUpInside = 1 << 6,
  UIControlEventTouchUpOutside = 1 << 7,
  UIControlEventTouchCancel = 1 << 8,
  UIControlEventValueChanged = 1 << 12,
  UIControlEventPrimaryActionTriggered = 1 << 13,
  UIControlEventEditingDidBegin = 1 << 16,
  UIControlEventEditingChanged = 1 << 17,
  UIControlEventEditingDidEnd = 1 << 18,
  UIControlEventEditingDidEndOnExit = 1 << 19,
  UIControlEventAllTouchEvents = 0x00000FFF,
  UIControlEventAllEvents = 0xFFFFFFFF,
};

enum UIControlState : unsigned long {
  UIControlStateNormal = 0,
  UIControlStateHighlighted = 1 << 0,
  UIControlStateDisabled = 1 << 1,
  UIControlStateSelected = 1 << 2,
};

class UIControl : public UIView {
 public:
  using Action = std::function<void(UIControl& sender)>;
  using UIView::UIView;

  // `target` identifies the registration for removeTarget; the action should hold its
  // receiver weakly when the receiver may go before the control.
  void addTarget(const void* target, Action action, unsigned long events);
  // A null target removes every registration for the events.
  void removeTarget(const void* target, unsigned long events);
  size_t actionCount(unsigned long events) const;
  void sendActionsForControlEvents(unsigned long events);

  bool isEnabled() const { return enabled_; }
  virtual void setEnabled(bool enabled) { UI_MAIN_THREAD_ONLY(); enabled_ = enabled; }
  bool isSelected() const { return selected_; }
  virtual void setSelected(bool selected) { UI_MAIN_THREAD_ONLY(); selected_ = selected; }
  bool isHighlighted() const { return highlighted_; }
  virtual void setHighlighted(bool highlighted) { UI_MAIN_THREAD_ONLY(); highlighted_ = highlighted; }
  unsigned long state() const;

 private:
  struct Registration {
    const void* target;
    Action action;
    unsigned long events;
  };
  std::vector<Registration> actions_;
  bool enabled_ = true;
  bool selected_ = false;
  bool highlighted_ = false;
};
