#include "uikit/UIView.h"

#include <algorithm>

#include "foundation/RunLoop.h"
#include "uikit/UIFrameLayout.h"
#include "uikit/UIGestureRecognizer.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIScrollView.h"
#include "uikit/UIScreen.h"
#include "uikit/UIViewController.h"
#include "uikit/UIWindow.h"

UIView::UIView() = default;
UIView::UIView(CGRect frame) : frame_(frame) {}

UIView::~UIView() {
  for (auto& sub : subviews_) sub->superview_ = nullptr;
  for (auto& c : constraints_) c->setHolder(nullptr);
  for (auto& r : recognizers_) r->setView(nullptr);
}

void UIView::setFrame(CGRect frame) {
  UI_MAIN_THREAD_ONLY();
  bool resized = frame.size != frame_.size;
  frame_ = frame;
  if (resized) setNeedsLayout();
}

void UIView::setBounds(CGRect bounds) {
  UI_MAIN_THREAD_ONLY();
  boundsOrigin_ = bounds.origin;
  if (bounds.size != frame_.size) {
    CGPoint c = center();
    frame_.size = bounds.size;
    setCenter(c);
    setNeedsLayout();
  }
}

CGPoint UIView::center() const { return {frame_.origin.x + frame_.size.width / 2, frame_.origin.y + frame_.size.height / 2}; }

void UIView::setCenter(CGPoint c) {
  UI_MAIN_THREAD_ONLY();
  frame_.origin = {c.x - frame_.size.width / 2, c.y - frame_.size.height / 2};
}

void UIView::setHidden(bool hidden) {
  UI_MAIN_THREAD_ONLY();
  if (hidden == hidden_) return;
  hidden_ = hidden;
  if (superview_) superview_->setNeedsLayout();
}

void UIView::setAlpha(double alpha) {
  UI_MAIN_THREAD_ONLY();
  alpha_ = std::clamp(alpha, 0.0, 1.0);
}

UIColor UIView::tintColor() const {
  for (const UIView* v = this; v; v = v->superview_)
    if (v->tintColor_) return *v->tintColor_;
  // The platform's blue has a shade for light surroundings and one for dark; these are
  // its shades of raised contrast, which stand out from their grounds by 4.5 to 1.
  return traitCollection().userInterfaceStyle == UIUserInterfaceStyleDark ? UIColor::colorWithRed(0.25, 0.61, 1, 1)
                                                                           : UIColor::colorWithRed(0, 0.39, 0.86, 1);
}

void UIView::setTintColor(std::optional<UIColor> color) {
  UI_MAIN_THREAD_ONLY();
  tintColor_ = std::move(color);
  tintColorDidChange();
}

UITraitCollection UIView::traitCollection() const {
  for (const UIView* v = this; v; v = v->superview_) {
    if (v->overrideStyle_ != UIUserInterfaceStyleUnspecified) {
      UITraitCollection t = UIViewController::systemTraitCollection();
      t.userInterfaceStyle = v->overrideStyle_;
      return t;
    }
    if (v->owningController_) return v->owningController_->traitCollection();
  }
  return UIViewController::systemTraitCollection();
}

void UIView::detachFromSuperview() {
  if (!superview_) return;
  UIView* parent = superview_;
  parent->willRemoveSubview(this);
  for (UIView* a = parent; a; a = a->superview_) a->dropConstraintsInvolving(this);
  superview_ = nullptr;
  auto& siblings = parent->subviews_;
  siblings.erase(std::remove_if(siblings.begin(), siblings.end(), [this](const auto& v) { return v.get() == this; }),
                 siblings.end());
}

void UIView::dropConstraintsInvolving(const UIView* subtree) {
  std::vector<std::shared_ptr<NSLayoutConstraint>> kept;
  for (auto& c : constraints_) {
    UIView* a = c->firstItem().owningView();
    UIView* b = c->secondItem().owningView();
    bool inside = (a && (a == subtree || a->isDescendantOfView(subtree))) ||
                  (b && (b == subtree || b->isDescendantOfView(subtree)));
    bool heldInside = this == subtree || isDescendantOfView(subtree);
    if (inside && !heldInside) c->setHolder(nullptr);
    else kept.push_back(c);
  }
  constraints_.swap(kept);
}

void UIView::addSubview(std::shared_ptr<UIView> view) { insertSubviewAtIndex(std::move(view), subviews_.size()); }

void UIView::insertSubviewAtIndex(std::shared_ptr<UIView> view, size_t index) {
  UI_MAIN_THREAD_ONLY();
  if (!view || view.get() == this) return;
  UIWindow* oldWindow = view->window();
  if (view->superview_ == this) {
    auto it = std::find(subviews_.begin(), subviews_.end(), view);
    size_t at = size_t(it - subviews_.begin());
    subviews_.erase(it);
    if (index > at) --index;
    subviews_.insert(subviews_.begin() + long(std::min(index, subviews_.size())), view);
    return;
  }
  view->willMoveToSuperview(this);
  auto keep = view;  // detaching may drop the last other owner
  view->detachFromSuperview();
  view->superview_ = this;
  subviews_.insert(subviews_.begin() + long(std::min(index, subviews_.size())), view);
  view->didMoveToSuperview();
  didAddSubview(view.get());
  if (view->window() != oldWindow) view->didMoveToWindow();
  view->setNeedsLayout();
}

void UIView::insertSubviewBelow(std::shared_ptr<UIView> view, const UIView* sibling) {
  auto it = std::find_if(subviews_.begin(), subviews_.end(), [&](const auto& v) { return v.get() == sibling; });
  insertSubviewAtIndex(std::move(view), size_t(it - subviews_.begin()));
}

void UIView::insertSubviewAbove(std::shared_ptr<UIView> view, const UIView* sibling) {
  auto it = std::find_if(subviews_.begin(), subviews_.end(), [&](const auto& v) { return v.get() == sibling; });
  insertSubviewAtIndex(std::move(view), it == subviews_.end() ? subviews_.size() : size_t(it - subviews_.begin()) + 1);
}

void UIView::bringSubviewToFront(const UIView* view) {
  UI_MAIN_THREAD_ONLY();
  auto it = std::find_if(subviews_.begin(), subviews_.end(), [&](const auto& v) { return v.get() == view; });
  if (it == subviews_.end()) return;
  auto keep = *it;
  subviews_.erase(it);
  subviews_.push_back(keep);
}

void UIView::sendSubviewToBack(const UIView* view) {
  UI_MAIN_THREAD_ONLY();
  auto it = std::find_if(subviews_.begin(), subviews_.end(), [&](const auto& v) { return v.get() == view; });
  if (it == subviews_.end()) return;
  auto keep = *it;
  subviews_.erase(it);
  subviews_.insert(subviews_.begin(), keep);
}

void UIView::removeFromSuperview() {
  UI_MAIN_THREAD_ONLY();
  if (!superview_) return;
  auto keep = shared_from_this();
  bool hadWindow = window() != nullptr;
  willMoveToSuperview(nullptr);
  detachFromSuperview();
  didMoveToSuperview();
  if (hadWindow) didMoveToWindow();
}

void UIView::removeFromSuperviews(const std::vector<std::shared_ptr<UIView>>& views) {
  UI_MAIN_THREAD_ONLY();
  std::vector<std::pair<UIView*, bool>> leaving;  // each view, and whether it was in a window
  std::vector<UIView*> parents;
  for (const auto& view : views) {
    UIView* parent = view ? view->superview_ : nullptr;
    if (!parent) continue;
    leaving.emplace_back(view.get(), view->window() != nullptr);
    view->willMoveToSuperview(nullptr);
    parent->willRemoveSubview(view.get());
    for (UIView* a = parent; a; a = a->superview_) a->dropConstraintsInvolving(view.get());
    view->superview_ = nullptr;
    if (std::find(parents.begin(), parents.end(), parent) == parents.end()) parents.push_back(parent);
  }
  // The views stay owned by `views` until every one has been told.
  for (UIView* parent : parents) {
    auto& subviews = parent->subviews_;
    subviews.erase(std::remove_if(subviews.begin(), subviews.end(),
                                  [parent](const auto& v) { return v->superview_ != parent; }),
                   subviews.end());
  }
  for (auto [view, hadWindow] : leaving) {
    view->didMoveToSuperview();
    if (hadWindow) view->didMoveToWindow();
  }
}

bool UIView::isDescendantOfView(const UIView* view) const {
  for (const UIView* v = this; v; v = v->superview_)
    if (v == view) return true;
  return false;
}

UIView* UIView::viewWithTag(long tag) {
  if (tag_ == tag) return this;
  for (auto& sub : subviews_)
    if (UIView* found = sub->viewWithTag(tag)) return found;
  return nullptr;
}

UIWindow* UIView::window() const {
  const UIView* v = this;
  while (v->superview_) v = v->superview_;
  return const_cast<UIWindow*>(dynamic_cast<const UIWindow*>(v));
}

bool UIView::isVisibleInWindow() const {
  for (const UIView* v = this; v; v = v->superview_) {
    if (v->hidden_ || v->alpha_ <= 0.01) return false;
    if (!v->superview_) return dynamic_cast<const UIWindow*>(v) != nullptr;
  }
  return false;
}

UIView* UIView::hitTest(CGPoint point) {
  if (hidden_ || alpha_ <= 0.01 || !userInteractionEnabled_ || !pointInside(point)) return nullptr;
  for (auto it = subviews_.rbegin(); it != subviews_.rend(); ++it) {
    CGPoint inner{point.x - (*it)->frame_.origin.x + (*it)->boundsOrigin_.x,
                  point.y - (*it)->frame_.origin.y + (*it)->boundsOrigin_.y};
    if (UIView* hit = (*it)->hitTest(inner)) return hit;
  }
  return this;
}

namespace {
bool gLayoutPassPending = false;
}

void UIView::setNeedsLayout() {
  UI_MAIN_THREAD_ONLY();
  needsLayout_ = true;
  if (gLayoutPassPending || !RunLoop::isMainThread()) return;
  gLayoutPassPending = true;
  RunLoop::main().post([] {
    gLayoutPassPending = false;
    UIWindow::layoutAllWindows();
  });
}

void UIView::layoutIfNeeded() {
  UI_MAIN_THREAD_ONLY();
  UIFrameLayout::layoutSubviewsOf(*this);
  safeAreaInsetsMayHaveChanged();
  if (needsLayout_) {
    needsLayout_ = false;
    UIViewController* controller = owningController_;
    if (controller) controller->viewWillLayoutSubviews();
    layoutSubviews();
    if (controller && owningController_ == controller) controller->viewDidLayoutSubviews();
  }
  auto subs = subviews_;  // layout may change the subviews
  for (auto& sub : subs) sub->layoutIfNeeded();
}

CGSize UIView::sizeThatFits(CGSize) const {
  CGSize intrinsic = intrinsicContentSize();
  if (intrinsic.width < 0 || intrinsic.height < 0) return frame_.size;
  return intrinsic;
}

void UIView::sizeToFit() {
  CGSize s = sizeThatFits(frame_.size);
  setFrame(CGRect{frame_.origin, s});
}

namespace {
bool gClearOfBars = false;
}  // namespace

void UIView::setContentKeepsClearOfBars(bool clear) { gClearOfBars = clear; }
bool UIView::contentKeepsClearOfBars() { return gClearOfBars; }

UIEdgeInsets UIView::safeAreaInsets() const { return safeArea(gClearOfBars); }
UIEdgeInsets UIView::safeAreaInsetsWithoutBars() const { return safeArea(false); }

UIEdgeInsets UIView::insetsUnderBars() const {
  if (!gClearOfBars) return {};
  UIEdgeInsets safe = safeArea(true), screen = safeArea(false);
  return {safe.top > screen.top ? safe.top : 0, 0, safe.bottom > screen.bottom ? safe.bottom : 0, 0};
}

CGRect UIView::boundsClearOfBars() const {
  UIEdgeInsets under = insetsUnderBars();
  if (under.top > 0)
    for (const UIView* v = this; v; v = v->superview_) {
      UIViewController* c = v->owningController_;
      auto* navigation = c && c->viewIfLoaded() == v ? dynamic_cast<UINavigationController*>(c->parentViewController()) : nullptr;
      if (!navigation) continue;
      const UINavigationBar& bar = *navigation->navigationBar();
      if (bar.showsLargeTitle() && !bar.largeTitleStands()) under.top = std::max(0.0, under.top - UINavigationBar::kLargeTitleHeight);
      break;
    }
  CGRect b = bounds();
  return CGRect::make(b.minX(), b.minY() + under.top, b.width(), std::max(0.0, b.height() - under.top - under.bottom));
}

CGRect UIView::shownBounds() const {
  CGRect shown = boundsClearOfBars();
  CGPoint shift{0, 0};  // from this view's coordinates to those of the view reached
  for (const UIView* v = this; const UIView* parent = v->superview_; v = parent) {
    shift.x += v->frame_.minX() - v->bounds().minX();
    shift.y += v->frame_.minY() - v->bounds().minY();
    bool cuts = dynamic_cast<const UIScrollView*>(parent) || parent->clipsToBounds() || !parent->superview_;
    if (!cuts) continue;
    CGRect outer = parent->boundsClearOfBars();
    double x0 = std::max(shown.minX(), outer.minX() - shift.x), y0 = std::max(shown.minY(), outer.minY() - shift.y);
    double x1 = std::min(shown.maxX(), outer.maxX() - shift.x), y1 = std::min(shown.maxY(), outer.maxY() - shift.y);
    shown = CGRect::make(x0, y0, std::max(0.0, x1 - x0), std::max(0.0, y1 - y0));
  }
  return shown;
}

UIEdgeInsets UIView::safeArea(bool bars) const {
  if (safeAreaOverride_) return *safeAreaOverride_;
  UIEdgeInsets in;
  if (!superview_) {
    if (dynamic_cast<const UIWindow*>(this)) return UIScreen::mainScreen().safeAreaInsets();
  } else {
    UIEdgeInsets outer = superview_->safeArea(bars);
    CGRect sb = superview_->bounds();
    CGRect f = frame_;
    in = UIEdgeInsets{std::max(0.0, outer.top - (f.minY() - sb.minY())), std::max(0.0, outer.left - (f.minX() - sb.minX())),
                      std::max(0.0, outer.bottom - (sb.maxY() - f.maxY())), std::max(0.0, outer.right - (sb.maxX() - f.maxX()))};
  }
  // A controller's view also keeps clear of its container's bars.
  if (bars && owningController_ && owningController_->viewIfLoaded() == this)
    if (UIViewController* parent = owningController_->parentViewController()) {
      UIEdgeInsets bars = parent->safeAreaInsetsForChild(*owningController_);
      in = {in.top + bars.top, in.left + bars.left, in.bottom + bars.bottom, in.right + bars.right};
    }
  return in;
}

void UIView::addConstraint(std::shared_ptr<NSLayoutConstraint> constraint) {
  UI_MAIN_THREAD_ONLY();
  if (!constraint) return;
  if (constraint->holder() == this) return;
  if (constraint->holder()) constraint->holder()->removeConstraint(constraint.get());
  constraint->setHolder(this);
  constraints_.push_back(std::move(constraint));
}

void UIView::addConstraints(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints) {
  for (const auto& c : constraints) addConstraint(c);
}

void UIView::removeConstraint(const NSLayoutConstraint* constraint) {
  UI_MAIN_THREAD_ONLY();
  auto it = std::find_if(constraints_.begin(), constraints_.end(), [&](const auto& c) { return c.get() == constraint; });
  if (it == constraints_.end()) return;
  (*it)->setHolder(nullptr);
  constraints_.erase(it);
}

std::vector<std::shared_ptr<NSLayoutConstraint>> UIView::constraintsAffectingView() const {
  std::vector<std::shared_ptr<NSLayoutConstraint>> out;
  const UIView* root = this;
  while (root->superview_) root = root->superview_;
  std::vector<const UIView*> stack{root};
  while (!stack.empty()) {
    const UIView* v = stack.back();
    stack.pop_back();
    for (const auto& c : v->constraints_)
      if (c->firstItem().view == this || c->secondItem().view == this) out.push_back(c);
    for (const auto& s : v->subviews_) stack.push_back(s.get());
  }
  return out;
}

UILayoutGuide& UIView::safeAreaLayoutGuide() {
  if (!safeAreaGuide_) safeAreaGuide_ = std::make_unique<UILayoutGuide>(this, "UIViewSafeAreaLayoutGuide");
  return *safeAreaGuide_;
}

UILayoutGuide& UIView::layoutMarginsGuide() {
  if (!marginsGuide_) marginsGuide_ = std::make_unique<UILayoutGuide>(this, "UIViewLayoutMarginsGuide");
  return *marginsGuide_;
}

void UIView::addGestureRecognizer(std::shared_ptr<UIGestureRecognizer> recognizer) {
  UI_MAIN_THREAD_ONLY();
  if (!recognizer) return;
  if (recognizer->view() && recognizer->view() != this) recognizer->view()->removeGestureRecognizer(recognizer.get());
  if (recognizer->view() == this) return;
  recognizer->setView(this);
  recognizers_.push_back(std::move(recognizer));
}

void UIView::removeGestureRecognizer(const UIGestureRecognizer* recognizer) {
  UI_MAIN_THREAD_ONLY();
  auto it = std::find_if(recognizers_.begin(), recognizers_.end(), [&](const auto& r) { return r.get() == recognizer; });
  if (it == recognizers_.end()) return;
  (*it)->setView(nullptr);
  recognizers_.erase(it);
}

UIResponder* UIView::nextResponder() const {
  if (owningController_) return owningController_;
  return superview_;
}

bool UIView::appendScreenText(std::vector<std::string>&) const { return false; }
