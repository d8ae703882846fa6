#pragma once
#include "uikit/UIGeometry.h"

class UIBarButtonItem;
class UIPresentationController;
class UIView;
class UIViewController;

class UIAdaptivePresentationControllerDelegate {
 public:
  virtual ~UIAdaptivePresentationControllerDelegate() = default;
  virtual bool presentationControllerShouldDismiss(UIPresentationController&) { return true; }
  virtual void presentationControllerWillDismiss(UIPresentationController&) {}
  virtual void presentationControllerDidDismiss(UIPresentationController&) {}
  virtual void presentationControllerDidAttemptToDismiss(UIPresentationController&) {}
};

// The presentation of one controller; a popover's also says where it points.
class UIPresentationController {
 public:
  explicit UIPresentationController(UIViewController* presented) : presented_(presented) {}
  virtual ~UIPresentationController() = default;
  UIViewController* presentedViewController() const { return presented_; }
  UIViewController* presentingViewController() const;
  UIAdaptivePresentationControllerDelegate* delegate() const { return delegate_; }
  void setDelegate(UIAdaptivePresentationControllerDelegate* delegate) { delegate_ = delegate; }
  // Where the presented view stands in the window's bounds: a sheet leaves the top of the
  // screen below showing (on a pad, a form sheet is a centred card); every other style
  // fills the window.
  CGRect frameOfPresentedViewInContainerView(CGRect container) const;

 private:
  UIViewController* presented_;
  UIAdaptivePresentationControllerDelegate* delegate_ = nullptr;
};

enum UIPopoverArrowDirection : unsigned long {
  UIPopoverArrowDirectionUp = 1 << 0,
  UIPopoverArrowDirectionDown = 1 << 1,
  UIPopoverArrowDirectionLeft = 1 << 2,
  UIPopoverArrowDirectionRight = 1 << 3,
  UIPopoverArrowDirectionAny = 15,
};

class UIPopoverPresentationController : public UIPresentationController {
 public:
  using UIPresentationController::UIPresentationController;
  UIView* sourceView() const { return sourceView_; }
  void setSourceView(UIView* view) { sourceView_ = view; }
  CGRect sourceRect() const { return sourceRect_; }
  void setSourceRect(CGRect rect) { sourceRect_ = rect; }
  UIBarButtonItem* barButtonItem() const { return barButtonItem_; }
  void setBarButtonItem(UIBarButtonItem* item) { barButtonItem_ = item; }
  unsigned long permittedArrowDirections() const { return arrows_; }
  void setPermittedArrowDirections(unsigned long d) { arrows_ = d; }
  bool isAnchored() const { return sourceView_ || barButtonItem_; }

 private:
  UIView* sourceView_ = nullptr;
  CGRect sourceRect_;
  UIBarButtonItem* barButtonItem_ = nullptr;
  unsigned long arrows_ = UIPopoverArrowDirectionAny;
};
