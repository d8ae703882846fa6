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

bool UIScrollView::scrollsUpAndDown() const {
  if (!scrollEnabled_) return false;
  // A strip that moves only sideways (a carousel) holds its content still up and down.
  CGSize size = bounds().size;
  return alwaysBounceVertical_ || contentSize_.height > size.height || contentSize_.width <= size.width;
}

UIEdgeInsets UIScrollView::adjustedContentInset() const {
  UIEdgeInsets in = contentInset_;
  if (!contentKeepsClearOfBars() || adjustment_ == UIScrollViewContentInsetAdjustmentNever) return in;
  // Content that does not move up and down cannot be moved clear of a bar: insetting it
  // would only push its end out of its own frame (a card's list lying under the bar as
  // the page around it scrolls). The page that scrolls keeps clear of the bars instead.
  UIEdgeInsets bars = adjustment_ == UIScrollViewContentInsetAdjustmentAlways || scrollsUpAndDown() ? insetsUnderBars()
                                                                                                   : UIEdgeInsets{};
  in.top += bars.top;
  in.bottom += bars.bottom;
  if (adjustment_ == UIScrollViewContentInsetAdjustmentAlways) {
    UIEdgeInsets safe = safeAreaInsets();
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
  // Within what the insets leave seen (clear of the bars where they are kept).
  UIEdgeInsets in = adjustedContentInset();
  double seen = bounds().height() - in.top - in.bottom;
  if (rect.minY() < offset.y + in.top) offset.y = rect.minY() - in.top;
  else if (rect.maxY() > offset.y + in.top + seen) offset.y = rect.maxY() - seen - in.top;
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
