#pragma once
// The responder chain and touches. Touches a view does not handle go to the next
// responder: its view controller, else its superview.
#include <vector>

#include "uikit/SelectorTarget.h"
#include "uikit/UIGeometry.h"

class UIView;

struct UITouch {
  UIView* view = nullptr;
  CGPoint location;
  double timestamp = 0;
  long tapCount = 1;
  double force = 0;
  double maximumPossibleForce = 0;
};
using UITouchSet = std::vector<UITouch>;

class UIResponder : public SelectorTarget {
 public:
  ~UIResponder() override;
  virtual UIResponder* nextResponder() const { return nullptr; }

  virtual bool canBecomeFirstResponder() const { return false; }
  virtual bool becomeFirstResponder();
  virtual bool resignFirstResponder();
  bool isFirstResponder() const;
  static UIResponder* currentFirstResponder();

  virtual void touchesBegan(const UITouchSet& touches);
  virtual void touchesMoved(const UITouchSet& touches);
  virtual void touchesEnded(const UITouchSet& touches);
  virtual void touchesCancelled(const UITouchSet& touches);

 protected:
  // Called while the responder takes or gives up first-responder status.
  virtual void didBecomeFirstResponder() {}
  virtual void didResignFirstResponder() {}
};
