#include "uikit/UIScrollView.h"

#include <algorithm>
#include <cmath>

#include "uikit/UIRefreshControl.h"

UIScrollView::UIScrollView() { setClipsToBounds(true); }
UIScrollView::UIScrollView(CGRect frame) : UIView(frame) { setClipsToBounds(true); }
UIScrollView::~UIScrollView() = default;

void UIScrollView::setContentOffset(CGPoint offset, bool animated) {
  UI_MAIN_THREAD_ONLY();
  if (animated) recordAnimation({"animation", 0.3, 0, 0, 0, 0, true});
  CGRect b = bounds();
  bool changed = b.origin != offset;
  b.origin = offset;
  setBounds(b);
  if (!changed) return;
  setNeedsLayout();
  contentOffsetDidChange();
  observers_.notify(offset);
  if (delegate_) delegate_->scrollViewDidScroll(*this);
}

void UIScrollView::setContentSize(CGSize size) {
  UI_MAIN_THREAD_ONLY();
  bool changed = size != contentSize_;
  contentSize_ = size;
  setNeedsLayout();
  if (!changed) return;
  sizeObservers_.notify(size);
}

void UIScrollView::setContentInset(UIEdgeInsets insets) {
  UI_MAIN_THREAD_ONLY();
  contentInset_ = insets;
  setNeedsLayout();
}

void UIScrollView::setRefreshControl(std::shared_ptr<UIRefreshControl> control) {
  if (refreshControl_) refreshControl_->removeFromSuperview();
  refreshControl_ = std::move(control);
  if (refreshControl_) addSubview(refreshControl_);
}

NotificationToken UIScrollView::addContentOffsetObserver(OffsetObserver observer) {
  return observers_.add(std::move(observer));
}

NotificationToken UIScrollView::addContentSizeObserver(SizeObserver observer) {
  return sizeObservers_.add(std::move(observer));
}

UIEdgeInsets UIScrollView::adjustedContentInset() const {
  UIEdgeInsets in = contentInset_;
  if (!contentKeepsClearOfBars() || adjustment_ == UIScrollViewContentInsetAdjustmentNever) return in;
  UIEdgeInsets safe = safeAreaInsets(), screen = safeAreaInsetsWithoutBars();
  // Where no bar covers an edge, the screen's own layout keeps clear of the status bar
  // and the home indicator.
  if (safe.top > screen.top) in.top += safe.top;
  if (safe.bottom > screen.bottom) in.bottom += safe.bottom;
  if (adjustment_ == UIScrollViewContentInsetAdjustmentAlways) {
    in.left += safe.left;
    in.right += safe.right;
  }
  return in;
}

void UIScrollView::safeAreaInsetsMayHaveChanged() {
  // Only the safe area's part: a screen that changes its own inset places its content.
  UIEdgeInsets now = adjustedContentInset();
  double safeTop = now.top - contentInset_.top;
  if (safeTop == lastSafeTop_) return;
  CGPoint offset = contentOffset();
  bool atTop = offset.y == -(contentInset_.top + lastSafeTop_);
  lastSafeTop_ = safeTop;
  if (atTop && !dragging_) setContentOffset({offset.x, -now.top});
}

CGPoint UIScrollView::minimumContentOffset() const {
  UIEdgeInsets in = adjustedContentInset();
  return {-in.left, -in.top};
}

CGPoint UIScrollView::maximumContentOffset() const {
  UIEdgeInsets in = adjustedContentInset();
  CGPoint min = minimumContentOffset();
  return {std::max(min.x, contentSize_.width + in.right - bounds().width()),
          std::max(min.y, contentSize_.height + in.bottom - bounds().height())};
}

void UIScrollView::scrollRectToVisible(CGRect rect, bool animated) {
  CGPoint offset = contentOffset();
  if (rect.minY() < offset.y) offset.y = rect.minY();
  else if (rect.maxY() > offset.y + bounds().height()) offset.y = rect.maxY() - bounds().height();
  CGPoint lo = minimumContentOffset(), hi = maximumContentOffset();
  offset.y = std::clamp(offset.y, lo.y, hi.y);
  setContentOffset(offset, animated);
}

void UIScrollView::scrollByUser(CGPoint target) {
  if (!scrollEnabled_) return;
  CGPoint lo = minimumContentOffset(), hi = maximumContentOffset();
  target.x = std::clamp(target.x, lo.x, hi.x);
  target.y = std::clamp(target.y, lo.y, hi.y);
  CGPoint start = contentOffset();
  dragging_ = true;
  if (delegate_) delegate_->scrollViewWillBeginDragging(*this);
  setContentOffset(target, false);
  auto direction = [](double d) { return d > 0 ? 1.0 : d < 0 ? -1.0 : 0.0; };
  CGPoint velocity{direction(target.x - start.x), direction(target.y - start.y)};
  CGPoint rest = pagingEnabled_ ? pageOffsetNear(target) : target;
  if (delegate_) delegate_->scrollViewWillEndDragging(*this, velocity, rest);
  dragging_ = false;
  if (delegate_) delegate_->scrollViewDidEndDragging(*this, true);
  decelerating_ = true;
  if (delegate_) delegate_->scrollViewWillBeginDecelerating(*this);
  if (rest != target) setContentOffset(rest, false);
  decelerating_ = false;
  if (delegate_) delegate_->scrollViewDidEndDecelerating(*this);
}

CGPoint UIScrollView::pageOffsetNear(CGPoint offset) const {
  CGSize page = bounds().size;
  CGPoint lo = minimumContentOffset(), hi = maximumContentOffset();
  auto snap = [](double value, double size, double min, double max) {
    if (size <= 0) return value;
    return std::clamp(std::round(value / size) * size, min, max);
  };
  return {snap(offset.x, page.width, lo.x, hi.x), snap(offset.y, page.height, lo.y, hi.y)};
}

bool UIScrollView::pullToRefreshByUser() {
  if (!refreshControl_ || !refreshControl_->isEnabled() || refreshControl_->isRefreshing()) return false;
  refreshControl_->beginRefreshing();
  refreshControl_->sendActionsForControlEvents(UIControlEventValueChanged);
  return true;
}
