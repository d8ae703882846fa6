#pragma once
#include "uikit/UIView.h"

enum UILayoutConstraintAxis : long { UILayoutConstraintAxisHorizontal = 0, UILayoutConstraintAxisVertical = 1 };
enum UIStackViewAlignment : long {
  UIStackViewAlignmentFill = 0,
  UIStackViewAlignmentLeading = 1,
  UIStackViewAlignmentTop = 1,
  UIStackViewAlignmentFirstBaseline = 2,
  UIStackViewAlignmentCenter = 3,
  UIStackViewAlignmentTrailing = 4,
  UIStackViewAlignmentBottom = 4,
};
enum UIStackViewDistribution : long {
  UIStackViewDistributionFill = 0,
  UIStackViewDistributionFillEqually = 1,
  UIStackViewDistributionFillProportionally = 2,
  UIStackViewDistributionEqualSpacing = 3,
  UIStackViewDistributionEqualCentering = 4,
};

// Arranged subviews in order along an axis, each at its own size (a width or height
// constraint of its own, else its fitting size), placed across the axis by the
// alignment and along it by the distribution: one after another with the spacing
// (fill), in equal shares of the length (fill equally), or with equal gaps that use the
// whole length but are never below the spacing (equal spacing and equal centring).
class UIStackView : public UIView {
 public:
  UIStackView() = default;
  explicit UIStackView(std::vector<std::shared_ptr<UIView>> views);
  const std::vector<std::shared_ptr<UIView>>& arrangedSubviews() const { return arranged_; }
  void addArrangedSubview(std::shared_ptr<UIView> view);
  void insertArrangedSubview(std::shared_ptr<UIView> view, size_t index);
  void removeArrangedSubview(const UIView* view);
  UILayoutConstraintAxis axis() const { return axis_; }
  void setAxis(UILayoutConstraintAxis axis) { axis_ = axis; }
  double spacing() const { return spacing_; }
  void setSpacing(double spacing) { spacing_ = spacing; }
  UIStackViewAlignment alignment() const { return alignment_; }
  void setAlignment(UIStackViewAlignment alignment) { alignment_ = alignment; }
  UIStackViewDistribution distribution() const { return distribution_; }
  void setDistribution(UIStackViewDistribution distribution) { distribution_ = distribution; }
  void layoutSubviews() override;
  void willRemoveSubview(UIView* view) override;

 private:
  // A view's size: its own width and height constraints, else what fits.
  CGSize naturalSize(const UIView& view) const;
  std::vector<std::shared_ptr<UIView>> arranged_;
  UILayoutConstraintAxis axis_ = UILayoutConstraintAxisHorizontal;
  double spacing_ = 0;
  UIStackViewAlignment alignment_ = UIStackViewAlignmentFill;
  UIStackViewDistribution distribution_ = UIStackViewDistributionFill;
};
