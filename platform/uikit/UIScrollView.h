#pragma once
// A scroll view: an observable content offset within a content size, with the drag
// and deceleration calls a person's scrolling makes.
#include <functional>
#include <memory>
#include <vector>

#include "foundation/ObserverList.h"
#include "uikit/UIView.h"

class UIScrollView;
class UIRefreshControl;

class UIScrollViewDelegate {
 public:
  virtual ~UIScrollViewDelegate() = default;
  virtual void scrollViewDidScroll(UIScrollView&) {}
  virtual void scrollViewWillBeginDragging(UIScrollView&) {}
  // `velocity` in points per millisecond; the delegate may move where the scrolling ends.
  virtual void scrollViewWillEndDragging(UIScrollView&, CGPoint /*velocity*/, CGPoint& /*targetContentOffset*/) {}
  virtual void scrollViewDidEndDragging(UIScrollView&, bool /*willDecelerate*/) {}
  virtual void scrollViewWillBeginDecelerating(UIScrollView&) {}
  virtual void scrollViewDidEndDecelerating(UIScrollView&) {}
  virtual void scrollViewDidEndScrollingAnimation(UIScrollView&) {}
  virtual void scrollViewDidScrollToTop(UIScrollView&) {}
};

enum UIScrollViewContentInsetAdjustmentBehavior : long {
  UIScrollViewContentInsetAdjustmentAutomatic = 0,
  UIScrollViewContentInsetAdjustmentScrollableAxes = 1,
  UIScrollViewContentInsetAdjustmentNever = 2,
  UIScrollViewContentInsetAdjustmentAlways = 3,
};

class UIScrollView : public UIView {
 public:
  using OffsetObserver = std::function<void(CGPoint offset)>;
  using SizeObserver = std::function<void(CGSize contentSize)>;
  UIScrollView();
  explicit UIScrollView(CGRect frame);
  ~UIScrollView() override;

  CGPoint contentOffset() const { return bounds().origin; }
  virtual void setContentOffset(CGPoint offset, bool animated = false);
  CGSize contentSize() const { return contentSize_; }
  void setContentSize(CGSize size);
  UIEdgeInsets contentInset() const { return contentInset_; }
  void setContentInset(UIEdgeInsets insets);
  // The inset the content is laid out with: the content inset and, where content keeps
  // clear of the bars (UIView::contentKeepsClearOfBars) and the adjustment behaviour is
  // not Never, what the bars cover above and below (insetsUnderBars) when the content
  // moves up and down or the behaviour is Always (and the safe area at the sides when
  // Always).
  UIEdgeInsets adjustedContentInset() const;
  // Whether a person moves its content up and down: it scrolls, and not only sideways.
  bool scrollsUpAndDown() const;
  UIScrollViewContentInsetAdjustmentBehavior contentInsetAdjustmentBehavior() const { return adjustment_; }
  void setContentInsetAdjustmentBehavior(UIScrollViewContentInsetAdjustmentBehavior b) { adjustment_ = b; }
  UIEdgeInsets scrollIndicatorInsets() const { return indicatorInsets_; }
  void setScrollIndicatorInsets(UIEdgeInsets insets) { indicatorInsets_ = insets; }
  UIEdgeInsets verticalScrollIndicatorInsets() const { return verticalIndicatorInsets_; }
  void setVerticalScrollIndicatorInsets(UIEdgeInsets insets) { verticalIndicatorInsets_ = insets; }
  bool isScrollEnabled() const { return scrollEnabled_; }
  void setScrollEnabled(bool enabled) { scrollEnabled_ = enabled; }
  bool isPagingEnabled() const { return pagingEnabled_; }
  void setPagingEnabled(bool enabled) { pagingEnabled_ = enabled; }
  bool showsVerticalScrollIndicator() const { return showsVertical_; }
  void setShowsVerticalScrollIndicator(bool shows) { showsVertical_ = shows; }
  bool showsHorizontalScrollIndicator() const { return showsHorizontal_; }
  void setShowsHorizontalScrollIndicator(bool shows) { showsHorizontal_ = shows; }
  bool alwaysBounceVertical() const { return alwaysBounceVertical_; }
  void setAlwaysBounceVertical(bool value) { alwaysBounceVertical_ = value; }
  bool isDragging() const { return dragging_; }
  bool isDecelerating() const { return decelerating_; }
  UIScrollViewDelegate* delegate() const { return delegate_; }
  void setDelegate(UIScrollViewDelegate* delegate) { delegate_ = delegate; }
  UIRefreshControl* refreshControl() const { return refreshControl_.get(); }
  void setRefreshControl(std::shared_ptr<UIRefreshControl> control);

  // Key-value observation of the content offset, as long as the token lives.
  [[nodiscard]] NotificationToken addContentOffsetObserver(OffsetObserver observer);
  // Key-value observation of the content size (told of every change), as long as the
  // token lives.
  [[nodiscard]] NotificationToken addContentSizeObserver(SizeObserver observer);

  // The offsets a person can scroll between.
  CGPoint minimumContentOffset() const;
  CGPoint maximumContentOffset() const;
  void scrollRectToVisible(CGRect rect, bool animated);

  // A person's drag to `offset` (clamped), with the drag and deceleration calls; the
  // deceleration ends where the delegate's will-end-dragging call leaves the target,
  // which for a paging scroll view is the page boundary nearest the drag's end.
  void scrollByUser(CGPoint offset);
  // The page boundary (a multiple of the bounds' size, within the content) nearest
  // an offset.
  CGPoint pageOffsetNear(CGPoint offset) const;
  // A person's pull beyond the top: starts the refresh control when there is one.
  bool pullToRefreshByUser();

 protected:
  // Called after every change of the offset, before the observers and the delegate.
  virtual void contentOffsetDidChange() {}
  // Content at rest at its top stays there when the bars over it change.
  void safeAreaInsetsMayHaveChanged() override;

 private:
  CGSize contentSize_;
  UIEdgeInsets contentInset_;
  double lastSafeTop_ = 0;  // the safe area's part of the adjusted inset at the last layout
  UIEdgeInsets indicatorInsets_;
  UIEdgeInsets verticalIndicatorInsets_;
  UIScrollViewContentInsetAdjustmentBehavior adjustment_ = UIScrollViewContentInsetAdjustmentAutomatic;
  bool scrollEnabled_ = true, pagingEnabled_ = false, showsVertical_ = true, showsHorizontal_ = true;
  bool alwaysBounceVertical_ = false, dragging_ = false, decelerating_ = false;
  UIScrollViewDelegate* delegate_ = nullptr;
  std::shared_ptr<UIRefreshControl> refreshControl_;
  ObserverList<CGPoint> observers_;
  ObserverList<CGSize> sizeObservers_;
};
