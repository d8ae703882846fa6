#include "payment/KVStoreHeader.h"

#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIButton.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UIStackView.h"

namespace {
std::shared_ptr<UIView> sized(std::shared_ptr<UIView> view, double width, double height) {
  std::vector<std::shared_ptr<NSLayoutConstraint>> constraints;
  if (width > 0) constraints.push_back(view->widthAnchor().constraintEqualToConstant(width));
  constraints.push_back(view->heightAnchor().constraintEqualToConstant(height));
  NSLayoutConstraint::activateConstraints(constraints);
  return view;
}
}  // namespace

KVStoreHeader KVStoreHeader::make(double width, double height, std::shared_ptr<UIImage> image,
                                  std::shared_ptr<UIButton> button) {
  KVStoreHeader header;
  header.view = std::make_shared<UIStackView>();
  header.view->setFrame(CGRect::make(0, 0, width, height));
  header.view->setAxis(UILayoutConstraintAxisVertical);
  header.view->setAlignment(UIStackViewAlignmentCenter);
  header.view->setDistribution(UIStackViewDistributionEqualSpacing);
  header.view->setSpacing(10);
  auto icon = std::make_shared<UIImageView>(std::move(image));
  icon->setContentMode(UIViewContentModeScaleAspectFill);
  icon->layer().cornerRadius = 23;
  icon->setClipsToBounds(true);
  auto title = std::make_shared<UILabel>();
  title->setFont(UIFont::boldSystemFontOfSize(16));
  title->setTextAlignment(NSTextAlignmentCenter);
  auto subtitle = std::make_shared<UILabel>();
  subtitle->setFont(UIFont::systemFontOfSize(16));
  subtitle->setTextAlignment(NSTextAlignmentCenter);
  header.image = icon.get();
  header.title = title.get();
  header.subtitle = subtitle.get();
  header.view->addArrangedSubview(sized(std::make_shared<UIView>(), 0, 20));
  header.view->addArrangedSubview(sized(icon, 90, 90));
  header.view->addArrangedSubview(title);
  header.view->addArrangedSubview(subtitle);
  if (button) header.view->addArrangedSubview(sized(button, width * 0.7, 36));
  header.view->addArrangedSubview(sized(std::make_shared<UIView>(), 0, 20));
  return header;
}

void KVStoreHeader::setHeight(double height) const {
  CGRect frame = view->frame();
  view->setFrame(CGRect::make(frame.minX(), frame.minY(), frame.width(), height));
}
