#include "interface/KVRequestFailureView.h"

#include "foundation/LocalizedStrings.h"
#include "uikit/UIButton.h"
#include "uikit/UILabel.h"

KVRequestFailureView::KVRequestFailureView(CGRect frame) : UIView(frame) {
  message_ = std::make_shared<UILabel>();
  message_->setNumberOfLines(0);
  message_->setTextAlignment(NSTextAlignmentCenter);
  message_->setFont(UIFont::systemFontOfSize(15));
  retry_ = UIButton::buttonWithType(UIButtonTypeSystem);
  retry_->setTitle(NSLocalizedString("Try Again"));
  retry_->addTarget(this, [this](UIControl&) {
    hide();
    // Kept until it has run: asking again may show a new failure, and a new action.
    auto retry = retryAction_;
    if (retry) retry();
  }, UIControlEventTouchUpInside);
  addSubview(message_);
  addSubview(retry_);
  setHidden(true);
}

void KVRequestFailureView::layoutSubviews() {
  UIView::layoutSubviews();
  const CGRect b = bounds();
  const double top = b.height() * 0.25;
  message_->setFrame(CGRect::make(24, top, b.width() - 48, 80));
  retry_->setFrame(CGRect::make((b.width() - 160) / 2, top + 92, 160, 40));
}

void KVRequestFailureView::showFailure(const std::string& message, std::function<void()> retry) {
  message_->setText(message);
  retryAction_ = std::move(retry);
  retry_->setHidden(false);
  setHidden(false);
  setNeedsLayout();
}

void KVRequestFailureView::showMessage(const std::string& message) {
  message_->setText(message);
  retryAction_ = nullptr;
  retry_->setHidden(true);
  setHidden(false);
  setNeedsLayout();
}
