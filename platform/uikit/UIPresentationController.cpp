#include "uikit/UIPresentationController.h"

#include "uikit/UIViewController.h"

UIViewController* UIPresentationController::presentingViewController() const {
  return presented_ ? presented_->presentingViewController() : nullptr;
}
