#include "uikit/UIStackView.h"

#include <algorithm>

UIStackView::UIStackView(std::vector<std::shared_ptr<UIView>> views) {
  for (auto& v : views) addArrangedSubview(std::move(v));
}

void UIStackView::addArrangedSubview(std::shared_ptr<UIView> view) { insertArrangedSubview(std::move(view), arranged_.size()); }

void UIStackView::insertArrangedSubview(std::shared_ptr<UIView> view, size_t index) {
  if (!view) return;
  removeArrangedSubview(view.get());
  arranged_.insert(arranged_.begin() + long(std::min(index, arranged_.size())), view);
  if (view->superview() != this) addSubview(view);
  setNeedsLayout();
}

void UIStackView::removeArrangedSubview(const UIView* view) {
  arranged_.erase(std::remove_if(arranged_.begin(), arranged_.end(), [&](const auto& v) { return v.get() == view; }),
                  arranged_.end());
  setNeedsLayout();
}

void UIStackView::willRemoveSubview(UIView* view) { removeArrangedSubview(view); }

CGSize UIStackView::naturalSize(const UIView& view) const {
  CGSize size = view.sizeThatFits(bounds().size);
  for (const auto& c : view.constraintsAffectingView()) {
    if (c->firstItem().view != &view || !c->secondItem().isNull() || c->relation() != NSLayoutRelationEqual) continue;
    if (c->firstAttribute() == NSLayoutAttributeWidth) size.width = c->constant();
    if (c->firstAttribute() == NSLayoutAttributeHeight) size.height = c->constant();
  }
  return size;
}

void UIStackView::layoutSubviews() {
  bool vertical = axis_ == UILayoutConstraintAxisVertical;
  std::vector<UIView*> shown;
  std::vector<CGSize> sizes;
  for (auto& v : arranged_) {
    if (v->isHidden()) continue;
    shown.push_back(v.get());
    sizes.push_back(naturalSize(*v));
  }
  if (shown.empty()) return;
  double length = vertical ? bounds().height() : bounds().width();
  double breadth = vertical ? bounds().width() : bounds().height();
  auto along = [&](CGSize s) { return vertical ? s.height : s.width; };
  auto across = [&](CGSize s) { return vertical ? s.width : s.height; };
  double total = 0;
  for (auto& s : sizes) total += along(s);
  double gap = spacing_;
  bool equalShares = distribution_ == UIStackViewDistributionFillEqually;
  if ((distribution_ == UIStackViewDistributionEqualSpacing || distribution_ == UIStackViewDistributionEqualCentering) &&
      shown.size() > 1)
    gap = std::max(spacing_, (length - total) / double(shown.size() - 1));
  double share = (length - spacing_ * double(shown.size() - 1)) / double(shown.size());
  double at = 0;
  for (size_t i = 0; i < shown.size(); ++i) {
    double a = equalShares ? share : along(sizes[i]);
    // Whatever the alignment, a view keeps within the stack's breadth: a longer line is
    // cut by its own label, with its ellipsis, not by what clips the stack.
    double b = alignment_ == UIStackViewAlignmentFill ? breadth : std::min(breadth, across(sizes[i]));
    double offset = alignment_ == UIStackViewAlignmentCenter ? (breadth - b) / 2
                    : alignment_ == UIStackViewAlignmentTrailing ? breadth - b
                                                                 : 0;
    shown[i]->setFrame(vertical ? CGRect::make(offset, at, b, a) : CGRect::make(at, offset, a, b));
    at += a + (equalShares ? spacing_ : gap);
  }
}
