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

void UIStackView::layoutSubviews() {
  double at = 0;
  for (auto& v : arranged_) {
    if (v->isHidden()) continue;
    CGSize s = v->sizeThatFits(bounds().size);
    if (axis_ == UILayoutConstraintAxisVertical) {
      v->setFrame(CGRect::make(0, at, alignment_ == UIStackViewAlignmentFill ? bounds().width() : s.width, s.height));
      at += s.height + spacing_;
    } else {
      v->setFrame(CGRect::make(at, 0, s.width, alignment_ == UIStackViewAlignmentFill ? bounds().height() : s.height));
      at += s.width + spacing_;
    }
  }
}
