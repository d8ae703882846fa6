// Stack views place their arranged views by their own sizes, alignment and distribution.
#include <gtest/gtest.h>

#include "support/UIDriver.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UIStackView.h"

namespace {
std::shared_ptr<UIView> spacer(double height) {
  auto v = std::make_shared<UIView>();
  v->heightAnchor().constraintEqualToConstant(height)->setActive(true);
  return v;
}

std::shared_ptr<UILabel> label(const std::string& text, double size) {
  auto l = std::make_shared<UILabel>();
  l->setText(text);
  l->setFont(UIFont::systemFontOfSize(size));
  return l;
}
}  // namespace

TEST(StackViewTest, AnAccountHeaderCentresItsViewsWithEqualGaps) {
  UIDriver ui;
  auto screen = std::make_shared<UIViewController>();
  ui.show(screen);
  // The account screen's header: a spacer, a 90-point avatar, two labels, a spacer.
  auto avatar = std::make_shared<UIImageView>();
  NSLayoutConstraint::activateConstraints({avatar->widthAnchor().constraintEqualToConstant(90),
                                           avatar->heightAnchor().constraintEqualToConstant(90)});
  auto name = label("Account Name", 16);
  auto email = label("Account Email", 16);
  auto header = std::make_shared<UIStackView>(std::vector<std::shared_ptr<UIView>>{spacer(20), avatar, name, email, spacer(20)});
  header->setFrame(CGRect::make(0, 0, 375, 210));
  header->setAxis(UILayoutConstraintAxisVertical);
  header->setAlignment(UIStackViewAlignmentCenter);
  header->setDistribution(UIStackViewDistributionEqualSpacing);
  header->setSpacing(10);
  screen->view()->addSubview(header);
  ui.runUntilIdle();
  double line = UIFont::systemFontOfSize(16).lineHeight();
  double gap = (210 - (20 + 90 + line + line + 20)) / 4;
  EXPECT_EQ(avatar->frame(), CGRect::make((375 - 90) / 2.0, 20 + gap, 90, 90));
  double width = name->sizeThatFits({375, 210}).width;
  EXPECT_EQ(name->frame(), CGRect::make((375 - width) / 2, 20 + gap + 90 + gap, width, line));
  EXPECT_EQ(header->arrangedSubviews().back()->frame().maxY(), 210) << "the gaps use the whole height";
  // A hidden view gives up its place.
  email->setHidden(true);
  ui.runUntilIdle();
  EXPECT_EQ(header->arrangedSubviews().back()->frame().maxY(), 210);
  EXPECT_GT(name->frame().minY(), 20 + gap + 90 + gap) << "the gaps grew";
}

TEST(StackViewTest, FillEquallyAndTheOtherAlignments) {
  auto first = std::make_shared<UIView>(), second = std::make_shared<UIView>(), third = std::make_shared<UIView>();
  UIStackView buttons({first, second, third});
  buttons.setFrame(CGRect::make(0, 0, 320, 44));
  buttons.setDistribution(UIStackViewDistributionFillEqually);
  buttons.setSpacing(10);
  buttons.layoutIfNeeded();
  EXPECT_EQ(first->frame(), CGRect::make(0, 0, 100, 44));
  EXPECT_EQ(second->frame(), CGRect::make(110, 0, 100, 44));
  EXPECT_EQ(third->frame(), CGRect::make(220, 0, 100, 44));

  auto title = label("Snowboard", 28), subtitle = label("by SparkDev", 17);
  UIStackView labels({title, subtitle});
  labels.setFrame(CGRect::make(0, 0, 300, 120));
  labels.setAxis(UILayoutConstraintAxisVertical);
  labels.setAlignment(UIStackViewAlignmentTrailing);
  labels.setSpacing(10);
  labels.layoutIfNeeded();
  EXPECT_EQ(title->frame().maxX(), 300);
  EXPECT_EQ(subtitle->frame().minY(), title->frame().maxY() + 10) << "fill puts one after another";
  labels.setAlignment(UIStackViewAlignmentLeading);
  labels.setNeedsLayout();
  labels.layoutIfNeeded();
  EXPECT_EQ(subtitle->frame().minX(), 0);
  labels.removeArrangedSubview(title.get());
  labels.setNeedsLayout();
  labels.layoutIfNeeded();
  EXPECT_EQ(subtitle->frame().minY(), 0) << "a view taken out of the arrangement leaves its place";
}
