#include "uikit/UINavigationBar.h"

#include <algorithm>


#include "uikit/UINavigationController.h"
#include "uikit/UIScreen.h"
#include "uikit/UISegmentedControl.h"

bool UINavigationBar::showsLargeTitle() const {
  if (!prefersLargeTitles_ || isHidden() || !superview()) return false;
  auto* navigation = dynamic_cast<const UINavigationController*>(superview()->owningViewController());
  if (!navigation) return false;
  const auto& stack = navigation->viewControllers();
  for (size_t i = stack.size(); i-- > 0;) {
    auto mode = stack[i]->navigationItem().largeTitleDisplayMode();
    if (mode == UINavigationItemLargeTitleDisplayModeAlways) return true;
    if (mode == UINavigationItemLargeTitleDisplayModeNever) return false;
  }
  return !stack.empty();
}

void UINavigationBar::hostTitleView() {
  auto* navigation = superview() ? dynamic_cast<UINavigationController*>(superview()->owningViewController()) : nullptr;
  UIViewController* top = navigation ? navigation->topViewController() : nullptr;
  std::shared_ptr<UIView> title = top ? top->navigationItem().titleView() : nullptr;
  auto hosted = hostedTitle_.lock();
  if (hosted && hosted != title && hosted->superview() == this) hosted->removeFromSuperview();
  hostedTitle_ = title;
  if (!title) return;
  if (title->superview() != this) addSubview(title);
  CGSize size = frame().size, own = title->frame().size;
  if (auto* segments = dynamic_cast<UISegmentedControl*>(title.get())) {
    double sum = 0;
    for (size_t i = 0; i < segments->numberOfSegments(); ++i) sum += segments->widthForSegmentAtIndex(i);
    if (sum > 0) own = {sum, 32};
  }
  if (own.width <= 0 || own.height <= 0) own = title->sizeThatFits({size.width, size.height});
  double width = std::min(own.width > 0 ? own.width : size.width * 0.5, size.width - 32);
  double height = std::min(own.height > 0 ? own.height : 32.0, size.height - 8);
  title->setFrame(CGRect::make((size.width - width) / 2, (size.height - height) / 2, width, height));
}

UINavigationBar::UINavigationBar() {
  setFrame(CGRect::make(0, UIScreen::mainScreen().safeAreaInsets().top, UIScreen::mainScreen().bounds().width(), 44));
}

void UINavigationBar::setBackgroundImage(std::shared_ptr<UIImage> image, UIBarMetrics metrics) {
  if (image) backgroundImages_[metrics] = std::move(image);
  else backgroundImages_.erase(metrics);
}

std::shared_ptr<UIImage> UINavigationBar::backgroundImageForBarMetrics(UIBarMetrics metrics) const {
  auto it = backgroundImages_.find(metrics);
  return it == backgroundImages_.end() ? nullptr : it->second;
}
