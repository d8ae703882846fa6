#pragma once
// Layout constraints: what is pinned to what, with which constant, and whether it is
// active. The views laid out by constraints get their frames from them when their
// superview lays out (UIFrameLayout); screens and tests also read them as data.
#include <memory>
#include <string>
#include <vector>

class UIView;
class UILayoutGuide;

enum NSLayoutAttribute : long {
  NSLayoutAttributeNotAnAttribute = 0,
  NSLayoutAttributeLeft = 1,
  NSLayoutAttributeRight = 2,
  NSLayoutAttributeTop = 3,
  NSLayoutAttributeBottom = 4,
  NSLayoutAttributeLeading = 5,
  NSLayoutAttributeTrailing = 6,
  NSLayoutAttributeWidth = 7,
  NSLayoutAttributeHeight = 8,
  NSLayoutAttributeCenterX = 9,
  NSLayoutAttributeCenterY = 10,
};

enum NSLayoutRelation : long {
  NSLayoutRelationLessThanOrEqual = -1,
  NSLayoutRelationEqual = 0,
  NSLayoutRelationGreaterThanOrEqual = 1,
};

// A view or a layout guide.
struct NSLayoutItem {
  UIView* view = nullptr;
  UILayoutGuide* guide = nullptr;
  bool isNull() const { return !view && !guide; }
  UIView* owningView() const;  // the view itself, or the guide's view
  bool operator==(const NSLayoutItem& o) const { return view == o.view && guide == o.guide; }
};

class NSLayoutConstraint : public std::enable_shared_from_this<NSLayoutConstraint> {
 public:
  static std::shared_ptr<NSLayoutConstraint> constraintWithItem(NSLayoutItem item, NSLayoutAttribute attribute,
                                                                NSLayoutRelation relation, NSLayoutItem toItem,
                                                                NSLayoutAttribute toAttribute, double multiplier,
                                                                double constant);
  static void activateConstraints(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints);
  static void deactivateConstraints(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints);
  // Holds the view's four edges to those of `to` (its superview): the view is laid out by
  // constraints from then on, at whatever size `to` takes (a sheet's shorter screen).
  static void activateEdges(UIView& view, UIView& to);

  const NSLayoutItem& firstItem() const { return first_; }
  NSLayoutAttribute firstAttribute() const { return firstAttribute_; }
  NSLayoutRelation relation() const { return relation_; }
  const NSLayoutItem& secondItem() const { return second_; }
  NSLayoutAttribute secondAttribute() const { return secondAttribute_; }
  double multiplier() const { return multiplier_; }
  double constant() const { return constant_; }
  // A new constant lays the views out again on the next turn.
  void setConstant(double constant);
  float priority() const { return priority_; }
  void setPriority(float priority) { priority_ = priority; }
  const std::string& identifier() const { return identifier_; }
  void setIdentifier(std::string identifier) { identifier_ = std::move(identifier); }

  bool isActive() const { return holder_ != nullptr; }
  // Activating adds the constraint to the nearest common ancestor of its items.
  void setActive(bool active);
  UIView* holder() const { return holder_; }
  // Used by UIView::addConstraint/removeConstraint.
  void setHolder(UIView* view) { holder_ = view; }
  bool involves(const UIView* view) const;
  std::string description() const;

 private:
  NSLayoutItem first_, second_;
  NSLayoutAttribute firstAttribute_ = NSLayoutAttributeNotAnAttribute;
  NSLayoutAttribute secondAttribute_ = NSLayoutAttributeNotAnAttribute;
  NSLayoutRelation relation_ = NSLayoutRelationEqual;
  double multiplier_ = 1;
  double constant_ = 0;
  float priority_ = 1000;
  std::string identifier_;
  UIView* holder_ = nullptr;
};

// An edge, centre or dimension of a view or guide, from which constraints are made.
class NSLayoutAnchor {
 public:
  NSLayoutAnchor(NSLayoutItem item, NSLayoutAttribute attribute) : item_(item), attribute_(attribute) {}
  const NSLayoutItem& item() const { return item_; }
  NSLayoutAttribute attribute() const { return attribute_; }

  std::shared_ptr<NSLayoutConstraint> constraintEqualToAnchor(const NSLayoutAnchor& other, double constant = 0) const;
  std::shared_ptr<NSLayoutConstraint> constraintEqualToAnchor(const NSLayoutAnchor& other, double multiplier,
                                                              double constant) const;
  std::shared_ptr<NSLayoutConstraint> constraintGreaterThanOrEqualToAnchor(const NSLayoutAnchor& other,
                                                                           double constant = 0) const;
  std::shared_ptr<NSLayoutConstraint> constraintLessThanOrEqualToAnchor(const NSLayoutAnchor& other,
                                                                        double constant = 0) const;
  // Dimensions only: width or height equal to a constant.
  std::shared_ptr<NSLayoutConstraint> constraintEqualToConstant(double constant) const;
  std::shared_ptr<NSLayoutConstraint> constraintGreaterThanOrEqualToConstant(double constant) const;
  std::shared_ptr<NSLayoutConstraint> constraintLessThanOrEqualToConstant(double constant) const;

 private:
  NSLayoutItem item_;
  NSLayoutAttribute attribute_;
};

// A rectangle that constraints can refer to: a view's safe area or layout margins.
class UILayoutGuide {
 public:
  UILayoutGuide(UIView* owningView, std::string identifier)
      : owningView_(owningView), identifier_(std::move(identifier)) {}
  UIView* owningView() const { return owningView_; }
  const std::string& identifier() const { return identifier_; }
  NSLayoutAnchor leadingAnchor() { return {{nullptr, this}, NSLayoutAttributeLeading}; }
  NSLayoutAnchor trailingAnchor() { return {{nullptr, this}, NSLayoutAttributeTrailing}; }
  NSLayoutAnchor leftAnchor() { return {{nullptr, this}, NSLayoutAttributeLeft}; }
  NSLayoutAnchor rightAnchor() { return {{nullptr, this}, NSLayoutAttributeRight}; }
  NSLayoutAnchor topAnchor() { return {{nullptr, this}, NSLayoutAttributeTop}; }
  NSLayoutAnchor bottomAnchor() { return {{nullptr, this}, NSLayoutAttributeBottom}; }
  NSLayoutAnchor widthAnchor() { return {{nullptr, this}, NSLayoutAttributeWidth}; }
  NSLayoutAnchor heightAnchor() { return {{nullptr, this}, NSLayoutAttributeHeight}; }
  NSLayoutAnchor centerXAnchor() { return {{nullptr, this}, NSLayoutAttributeCenterX}; }
  NSLayoutAnchor centerYAnchor() { return {{nullptr, this}, NSLayoutAttributeCenterY}; }

 private:
  UIView* owningView_;
  std::string identifier_;
};
