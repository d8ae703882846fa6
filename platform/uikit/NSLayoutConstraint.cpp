#include "uikit/NSLayoutConstraint.h"

#include <cstdio>

#include "uikit/UIView.h"

UIView* NSLayoutItem::owningView() const { return view ? view : guide ? guide->owningView() : nullptr; }

std::shared_ptr<NSLayoutConstraint> NSLayoutConstraint::constraintWithItem(
    NSLayoutItem item, NSLayoutAttribute attribute, NSLayoutRelation relation, NSLayoutItem toItem,
    NSLayoutAttribute toAttribute, double multiplier, double constant) {
  auto c = std::make_shared<NSLayoutConstraint>();
  c->first_ = item;
  c->firstAttribute_ = attribute;
  c->relation_ = relation;
  c->second_ = toItem;
  c->secondAttribute_ = toAttribute;
  c->multiplier_ = multiplier;
  c->constant_ = constant;
  return c;
}

void NSLayoutConstraint::activateConstraints(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints) {
  for (const auto& c : constraints)
    if (c) c->setActive(true);
}

void NSLayoutConstraint::activateEdges(UIView& view, UIView& to) {
  view.setTranslatesAutoresizingMaskIntoConstraints(false);
  activateConstraints({view.topAnchor().constraintEqualToAnchor(to.topAnchor()),
                       view.bottomAnchor().constraintEqualToAnchor(to.bottomAnchor()),
                       view.leftAnchor().constraintEqualToAnchor(to.leftAnchor()),
                       view.rightAnchor().constraintEqualToAnchor(to.rightAnchor())});
}

void NSLayoutConstraint::deactivateConstraints(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints) {
  for (const auto& c : constraints)
    if (c) c->setActive(false);
}

void NSLayoutConstraint::setConstant(double constant) {
  if (constant == constant_) return;
  constant_ = constant;
  if (holder_) holder_->setNeedsLayout();
}

void NSLayoutConstraint::setActive(bool active) {
  if (active == isActive()) return;
  if (UIView* v = holder_ ? holder_ : first_.owningView()) v->setNeedsLayout();
  if (!active) {
    holder_->removeConstraint(this);
    return;
  }
  UIView* a = first_.owningView();
  UIView* b = second_.owningView();
  UIView* holder = a;
  if (a && b) {
    holder = nullptr;
    for (UIView* x = a; x && !holder; x = x->superview())
      if (b == x || b->isDescendantOfView(x)) holder = x;
    if (!holder) holder = a;  // not yet in one tree: kept by the first item
  } else if (!a) {
    holder = b;
  }
  if (holder) holder->addConstraint(shared_from_this());
}

bool NSLayoutConstraint::involves(const UIView* view) const {
  return first_.owningView() == view || second_.owningView() == view;
}

std::string NSLayoutConstraint::description() const {
  static const char* names[] = {"none", "left", "right", "top", "bottom", "leading",
                                "trailing", "width", "height", "centerX", "centerY"};
  auto name = [](NSLayoutAttribute a) { return a >= 0 && a <= 10 ? names[a] : "?"; };
  char buf[160];
  std::snprintf(buf, sizeof buf, "%s %s %s x%.2f %+.1f%s", name(firstAttribute_),
                relation_ == NSLayoutRelationEqual ? "==" : relation_ < 0 ? "<=" : ">=",
                second_.isNull() ? "const" : name(secondAttribute_), multiplier_, constant_,
                isActive() ? "" : " (inactive)");
  return buf;
}

namespace {
std::shared_ptr<NSLayoutConstraint> make(const NSLayoutAnchor& a, NSLayoutRelation r, const NSLayoutAnchor* b,
                                         double multiplier, double constant) {
  return NSLayoutConstraint::constraintWithItem(a.item(), a.attribute(), r, b ? b->item() : NSLayoutItem{},
                                                b ? b->attribute() : NSLayoutAttributeNotAnAttribute, multiplier,
                                                constant);
}
}  // namespace

std::shared_ptr<NSLayoutConstraint> NSLayoutAnchor::constraintEqualToAnchor(const NSLayoutAnchor& o, double c) const {
  return make(*this, NSLayoutRelationEqual, &o, 1, c);
}
std::shared_ptr<NSLayoutConstraint> NSLayoutAnchor::constraintEqualToAnchor(const NSLayoutAnchor& o, double m,
                                                                             double c) const {
  return make(*this, NSLayoutRelationEqual, &o, m, c);
}
std::shared_ptr<NSLayoutConstraint> NSLayoutAnchor::constraintGreaterThanOrEqualToAnchor(const NSLayoutAnchor& o,
                                                                                         double c) const {
  return make(*this, NSLayoutRelationGreaterThanOrEqual, &o, 1, c);
}
std::shared_ptr<NSLayoutConstraint> NSLayoutAnchor::constraintLessThanOrEqualToAnchor(const NSLayoutAnchor& o,
                                                                                      double c) const {
  return make(*this, NSLayoutRelationLessThanOrEqual, &o, 1, c);
}
std::shared_ptr<NSLayoutConstraint> NSLayoutAnchor::constraintEqualToConstant(double c) const {
  return make(*this, NSLayoutRelationEqual, nullptr, 1, c);
}
std::shared_ptr<NSLayoutConstraint> NSLayoutAnchor::constraintGreaterThanOrEqualToConstant(double c) const {
  return make(*this, NSLayoutRelationGreaterThanOrEqual, nullptr, 1, c);
}
std::shared_ptr<NSLayoutConstraint> NSLayoutAnchor::constraintLessThanOrEqualToConstant(double c) const {
  return make(*this, NSLayoutRelationLessThanOrEqual, nullptr, 1, c);
}
