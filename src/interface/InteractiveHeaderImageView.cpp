#include "interface/InteractiveHeaderImageView.h"

#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIFont.h"
#include "uikit/UILabel.h"
#include "uikit/UIScrollView.h"
#include "uikit/UIStackView.h"
#include "foundation/WeakSelf.h"

std::shared_ptr<InteractiveHeaderImageView> InteractiveHeaderImageView::initWithFrame(CGRect frame) {
  std::shared_ptr<InteractiveHeaderImageView> header(new InteractiveHeaderImageView());
  header->build(frame);
  return header;
}

InteractiveHeaderImageView::~InteractiveHeaderImageView() = default;

void InteractiveHeaderImageView::build(CGRect frame) {
  setFrame(frame);
  setContentMode(UIViewContentModeScaleAspectFill);
  setClipsToBounds(true);

  labelStack_ = std::make_shared<UIStackView>();
  labelStack_->setTranslatesAutoresizingMaskIntoConstraints(false);
  labelStack_->setAxis(UILayoutConstraintAxisVertical);
  labelStack_->setAlignment(UIStackViewAlignmentLeading);
  labelStack_->setDistribution(UIStackViewDistributionEqualCentering);
  labelStack_->setSpacing(10);

  titleLabel_ = std::make_shared<UILabel>();
  titleLabel_->setTextColor(UIColor::lightTextColor().colorWithAlphaComponent(1.0));
  titleLabel_->setFont(UIFont::boldSystemFontOfSize(kTitleSize));
  subtitleLabel_ = std::make_shared<UILabel>();
  subtitleLabel_->setTextColor(UIColor::lightTextColor());
  subtitleLabel_->setFont(UIFont::systemFontOfSize(kSubtitleSize));
  labelStack_->addArrangedSubview(titleLabel_);
  labelStack_->addArrangedSubview(subtitleLabel_);
  addSubview(labelStack_);

  labelCenter_ = labelStack_->centerYAnchor().constraintEqualToAnchor(centerYAnchor(), labelOffset_);
  NSLayoutConstraint::activateConstraints(
      {labelStack_->leadingAnchor().constraintEqualToAnchor(safeAreaLayoutGuide().leadingAnchor(), 16), labelCenter_});
}

void InteractiveHeaderImageView::setScrollView(const std::shared_ptr<UIScrollView>& scrollView) {
  offsetObservation_ = {};
  scrollView_ = scrollView;
  if (!scrollView) return;
  auto weak = weakSelf(this);
  offsetObservation_ = scrollView->addContentOffsetObserver([weak](CGPoint) {
    if (auto self = weak.lock()) self->setNeedsLayout();
  });
}

void InteractiveHeaderImageView::removeFromSuperview() {
  UIImageView::removeFromSuperview();
  setScrollView(nullptr);
}

void InteractiveHeaderImageView::setLabelOffset(double offset) {
  labelOffset_ = offset;
  labelCenter_->setConstant(offset);
}

void InteractiveHeaderImageView::layoutSubviews() {
  UIImageView::layoutSubviews();
  auto scroll = scrollView_.lock();
  if (!scroll) return;
  const double d = defaultHeight_;
  const double y = -scroll->contentOffset().y;  // the pull distance: d at rest
  const UIEdgeInsets safe = scroll->safeAreaInsets();
  const double t = safe.top;

  scroll->setContentInset({d - t, 0, safe.bottom, 0});
  if (t < y) {
    UIEdgeInsets indicator = scroll->verticalScrollIndicatorInsets();
    indicator.top = y - t;
    scroll->setVerticalScrollIndicatorInsets(indicator);
  }

  const double width = scroll->bounds().size.width;
  const double o = y - d;  // overscroll
  setFrame(o > 0 ? CGRect::make(0, scroll->contentOffset().y, width, d + o) : CGRect::make(0, -d, width, d));

  // A header no taller than the top bar is hidden as soon as it moves at all.
  const double travel = d - t;
  if (o >= 0) revealProgress_ = 1;
  else revealProgress_ = travel > 0 ? 1 + o / travel : 0;
  extendedRevealProgress_ = d > 0 ? y / d : 1;

  if (useAlphaFade_)
    for (const auto& view : subviews()) view->setAlpha(revealProgress_);
  const double e = extendedRevealProgress_;
  if (useFontScaling_ && e >= 1.0 && e <= kMaximumFontScale) {
    titleLabel_->setFont(UIFont::systemFontOfSize(kTitleSize * e, UIFontWeightBold * e));
    subtitleLabel_->setFont(UIFont::systemFontOfSize(kSubtitleSize * e, UIFontWeightRegular * e));
  }
}
