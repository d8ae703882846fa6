#include "uikit/UINavigationBar.h"

#include <algorithm>


#include "uikit/UINavigationController.h"
#include "uikit/UIScreen.h"
#include "uikit/UIScrollView.h"

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

namespace {
double topInWindow(const UIView& view) {
  double y = view.frame().minY();
  for (const UIView* s = view.superview(); s; s = s->superview()) y += s->frame().minY() - s->bounds().minY();
  return y;
}
}  // namespace

bool UINavigationBar::largeTitleStands() const {
  if (!showsLargeTitle()) return false;
  auto* navigation = dynamic_cast<const UINavigationController*>(superview()->owningViewController());
  UIViewController* top = navigation ? navigation->topViewController() : nullptr;
  UIView* view = top && top->isViewLoaded() ? top->view().get() : nullptr;
  double bandBottom = topInWindow(*this) + frame().height() + kLargeTitleHeight;
  // The screen's scroll view: its view, or the first subview down a few levels.
  for (int depth = 0; view && depth < 3; ++depth) {
    if (auto* scroll = dynamic_cast<UIScrollView*>(view)) return topInWindow(*scroll) - scroll->contentOffset().y >= bandBottom - 1;
    view = view->subviews().empty() ? nullptr : view->subviews().front().get();
  }
  return UIView::contentKeepsClearOfBars();
}

void UINavigationBar::host(const std::vector<std::pair<std::shared_ptr<UIView>, CGRect>>& views) {
  for (const auto& weak : hosted_) {
    auto view = weak.lock();
    bool kept = std::any_of(views.begin(), views.end(), [&](const auto& v) { return v.first == view; });
    if (view && !kept && view->superview() == this) view->removeFromSuperview();
  }
  hosted_.clear();
  for (const auto& [view, frame] : views) {
    if (!view) continue;
    if (view->superview() != this) addSubview(view);
    view->setFrame(frame);
    hosted_.push_back(view);
  }
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
