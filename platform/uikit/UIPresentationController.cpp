#include "uikit/UIPresentationController.h"

#include <algorithm>

#include "uikit/UIDevice.h"
#include "uikit/UIScreen.h"
#include "uikit/UIViewController.h"

CGRect UIPresentationController::frameOfPresentedViewInContainerView(CGRect container) const {
  if (!presented_) return container;
  auto style = presented_->effectivePresentationStyle();
  if (style != UIModalPresentationPageSheet && style != UIModalPresentationFormSheet) return container;
  double width = container.width(), height = container.height();
  bool pad = UIDevice::currentDevice().userInterfaceIdiom() == UIUserInterfaceIdiomPad;
  if (pad && width > 540) {
    double w = style == UIModalPresentationFormSheet ? 540 : std::min(width, 704.0);
    double h = style == UIModalPresentationFormSheet ? std::min(height, 620.0) : height - 40;
    return CGRect::make(container.minX() + (width - w) / 2, container.minY() + (height - h) / 2, w, h);
  }
  double top = UIScreen::mainScreen().safeAreaInsets().top + 10;
  return CGRect::make(container.minX(), container.minY() + top, width, height - top);
}

UIViewController* UIPresentationController::presentingViewController() const {
  return presented_ ? presented_->presentingViewController() : nullptr;
}
