#include "interface/KVFloatingHudView.h"

#include <algorithm>

#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/WeakSelf.h"
#include "interface/KVPalette.h"
#include "interface/KVPaletteManager.h"
#include "uikit/UILabel.h"
#include "uikit/UIScreen.h"
#include "uikit/UIProgressView.h"
#include "uikit/UIStackView.h"
#include "uikit/UITapGestureRecognizer.h"

KVFloatingHudView::KVFloatingHudView() { build(); }

KVFloatingHudView::KVFloatingHudView(HudPresenting* delegate) : delegate_(delegate) { build(); }

void KVFloatingHudView::build() {
  layer().cornerRadius = 8;
  setClipsToBounds(true);
  primary_ = std::make_shared<UILabel>();
  primary_->setFont(UIFont::boldSystemFontOfSize(16));
  secondary_ = std::make_shared<UILabel>();
  secondary_->setFont(UIFont::systemFontOfSize(14, UIFontWeightMedium));
  detail_ = std::make_shared<UILabel>();
  detail_->setFont(UIFont::systemFontOfSize(13));
  detail_->setNumberOfLines(kDetailLines);
  detail_->setLineBreakMode(NSLineBreakByWordWrapping);
  detail_->setHidden(true);
  auto labels = std::make_shared<UIStackView>(std::vector<std::shared_ptr<UIView>>{primary_, secondary_, detail_});
  labels->setAxis(UILayoutConstraintAxisVertical);
  labels->setSpacing(1);
  labels->setAlignment(UIStackViewAlignmentLeading);
  labels->setDistribution(UIStackViewDistributionFill);
  labels->setUserInteractionEnabled(false);
  labels->setTranslatesAutoresizingMaskIntoConstraints(false);
  addSubview(labels);
  progress_ = std::make_shared<UIProgressView>(UIProgressViewStyleDefault);
  progress_->setTranslatesAutoresizingMaskIntoConstraints(false);
  progress_->setHidden(true);
  addSubview(progress_);
  NSLayoutConstraint::activateConstraints({
      labels->leadingAnchor().constraintEqualToAnchor(leadingAnchor(), 20),
      labels->trailingAnchor().constraintEqualToAnchor(trailingAnchor(), -20),
      labels->topAnchor().constraintEqualToAnchor(topAnchor(), 12),
      labels->bottomAnchor().constraintEqualToAnchor(bottomAnchor(), -14),
      progress_->leadingAnchor().constraintEqualToAnchor(leadingAnchor(), 20),
      progress_->trailingAnchor().constraintEqualToAnchor(trailingAnchor(), -20),
      progress_->bottomAnchor().constraintEqualToAnchor(bottomAnchor(), -6),
      progress_->heightAnchor().constraintEqualToConstant(2),
  });
  updatePalette();
  auto tap = std::make_shared<UITapGestureRecognizer>([this](UIGestureRecognizer&) { presentView(); }, this);
  tap->setNumberOfTapsRequired(1);
  addGestureRecognizer(tap);
}

void KVFloatingHudView::anchorToView(UIView& view, const NSLayoutAnchor& bottomAnchor) {
  setTranslatesAutoresizingMaskIntoConstraints(false);
  view.addSubview(shared_from_this());
  height_ = heightAnchor().constraintEqualToConstant(kHeight + kDetailHeight * double(detailLines(detail_->text())));
  NSLayoutConstraint::activateConstraints({
      leadingAnchor().constraintEqualToAnchor(view.safeAreaLayoutGuide().leadingAnchor(), 20),
      trailingAnchor().constraintEqualToAnchor(view.safeAreaLayoutGuide().trailingAnchor(), -20),
      height_,
      this->bottomAnchor().constraintEqualToAnchor(bottomAnchor, -10),
  });
}

void KVFloatingHudView::updatePalette() {
  auto palette = KVPaletteManager::getActivePalette();
  if (!palette) return;
  setBackgroundColor(palette->queueBackgroundColor());
  primary_->setTextColor(palette->tintColor());
  secondary_->setTextColor(palette->secondaryTextColor());
  detail_->setTextColor(palette->secondaryTextColor());
  progress_->setProgressTintColor(palette->tintColor());
}

void KVFloatingHudView::setItemCount(uint32_t count) {
  performOnMainThread([weak = weakSelf(this), count] {
    auto self = weak.lock();
    if (!self) return;
    if (self->presentationType_ == Queue) {
      self->setHidden(count == 0);
      self->primary_->setText("Queue");
      if (count == 1) self->secondary_->setText(NSLocalizedString("1 Package"));
      else if (count > 1) self->secondary_->setText(NSLocalizedFormat("%lu Packages", {std::to_string(count)}));
      else self->secondary_->setText("");
      return;
    }
    if (self->presentationType_ != Tasks) return;
    self->setHidden(false);
    self->progress_->setHidden(count == 0);
    self->progressTotal_ = std::max(self->progressTotal_, count);
    // A total of 0 (no task seen in this run) reads as done.
    float done = self->progressTotal_ == 0 ? 1.0f : 1.0f - float(count) / float(self->progressTotal_);
    self->progress_->setProgress(done, true);
    if (count == 0) {
      self->primary_->setText(NSLocalizedString("Refresh Complete"));
      return;
    }
    self->primary_->setText(NSLocalizedString("Tasks In Progress"));
    self->secondary_->setText(count == 1 ? NSLocalizedString("1 Running Task")
                                         : NSLocalizedFormat("%lu Running Tasks", {std::to_string(count)}));
  });
}

void KVFloatingHudView::setPrimaryText(const std::string& text) {
  performOnMainThread([weak = weakSelf(this), text] {
    if (auto self = weak.lock()) self->primary_->setText(text);
  });
}

void KVFloatingHudView::setSecondaryText(const std::string& text) {
  performOnMainThread([weak = weakSelf(this), text] {
    if (auto self = weak.lock()) self->secondary_->setText(text);
  });
}

void KVFloatingHudView::setDetailText(const std::string& text) {
  performOnMainThread([weak = weakSelf(this), text] {
    auto self = weak.lock();
    if (!self) return;
    self->detail_->setText(text);
    self->detail_->setHidden(text.empty());
    if (self->height_) self->height_->setConstant(kHeight + kDetailHeight * double(self->detailLines(text)));
  });
}

// The reasons take a second line where one does not hold them, the card growing with them.
long KVFloatingHudView::detailLines(const std::string& text) const {
  if (text.empty()) return 0;
  double width = bounds().width() > 40 ? bounds().width() - 40 : UIScreen::mainScreen().bounds().width() - 80;
  return std::clamp(detail_->font().measure(text, width).lines, 1L, long(kDetailLines));
}

void KVFloatingHudView::presentView() {
  if (!delegate_) return;
  if (presentationType_ == Tasks) delegate_->presentTasks();
  else if (presentationType_ == Queue) delegate_->presentQueue();
}

void KVFloatingHudView::setScale(double scale) {
  UIView::animateWithDuration(0.35, 0, 0.3, 7.0,
                              UIViewAnimationOptionAllowUserInteraction | UIViewAnimationOptionBeginFromCurrentState,
                              [this, scale] { setTransform(CGAffineTransform::makeScale(scale, scale)); });
}

void KVFloatingHudView::touchesBegan(const UITouchSet& touches) {
  UIView::touchesBegan(touches);
  setScale(0.975);
}

void KVFloatingHudView::touchesEnded(const UITouchSet& touches) {
  UIView::touchesEnded(touches);
  setScale(1.0);
}

void KVFloatingHudView::touchesCancelled(const UITouchSet& touches) {
  UIView::touchesCancelled(touches);
  setScale(1.0);
}

std::vector<UIViewTapTarget> KVFloatingHudView::tapTargets() {
  std::vector<UIViewTapTarget> targets;
  auto tap = [weak = weakSelf(this)] {
    auto self = weak.lock();
    if (self) self->presentView();
    return bool(self);
  };
  for (UILabel* label : {primary_.get(), secondary_.get(), detail_.get()})
    if (!label->text().empty()) targets.push_back({label->text(), tap});
  return targets;
}
