#include "browse/BigFeaturedCell.h"

#include "database/KVRPackages.h"
#include "foundation/NotificationCenter.h"
#include "foundation/WeakSelf.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UILongPressGestureRecognizer.h"
#include "uikit/UINib.h"
#include "uikit/UIVisualEffectView.h"

namespace {
constexpr double kSide = 355;      // the interface file's square; the carousel sizes it
constexpr double kStripHeight = 90;
}  // namespace

// The interface file's arrangement: the picture fills the cell, the strip lies along
// its bottom.
BigFeaturedCell::BigFeaturedCell() : UICollectionViewCell(CGRect::make(0, 0, kSide, kSide)) {
  auto image = std::make_shared<UIImageView>();
  image->setFrame(CGRect::make(0, 0, kSide, kSide));
  image->setContentMode(UIViewContentModeScaleAspectFill);
  auto blur = std::make_shared<UIVisualEffectView>(UIBlurEffectStyleLight);
  blur->setFrame(CGRect::make(0, kSide - kStripHeight, kSide, kStripHeight));
  auto icon = std::make_shared<UIImageView>();
  icon->setFrame(CGRect::make(16, 16, 58, 58));
  auto name = std::make_shared<UILabel>(CGRect::make(86, 12, kSide - 102, 22));
  name->setFont(UIFont::boldSystemFontOfSize(17));
  auto description = std::make_shared<UILabel>(CGRect::make(86, 36, kSide - 102, 18));
  description->setFont(UIFont::systemFontOfSize(13));
  auto maintainer = std::make_shared<UILabel>(CGRect::make(86, 58, kSide - 102, 16));
  maintainer->setFont(UIFont::systemFontOfSize(12));
  for (const std::shared_ptr<UIView>& v : std::vector<std::shared_ptr<UIView>>{icon, name, description, maintainer})
    blur->addSubview(v);
  contentView()->addSubview(image);
  contentView()->addSubview(blur);
  imageView_ = image.get();
  bottomBlur_ = blur.get();
  iconView_ = icon.get();
  nameLbl_ = name.get();
  descriptionLbl_ = description.get();
  maintainerSourceLbl_ = maintainer.get();
}

void BigFeaturedCell::registerInterfaceFile() {
  UINib::registerView("BigFeaturedCell", [] { return std::make_shared<BigFeaturedCell>(); });
}

void BigFeaturedCell::layoutSubviews() {
  UICollectionViewCell::layoutSubviews();
  CGRect bounds = this->bounds();
  imageView_->setFrame(bounds);
  bottomBlur_->setFrame(CGRect::make(0, bounds.height() - kStripHeight, bounds.width(), kStripHeight));
  for (UILabel* label : {nameLbl_, descriptionLbl_, maintainerSourceLbl_}) {
    CGRect frame = label->frame();
    label->setFrame(CGRect::make(frame.minX(), frame.minY(), std::max(0.0, bounds.width() - 102), frame.height()));
  }
  configureGestureRecognizer();
}

void BigFeaturedCell::configureGestureRecognizer() {
  if (hasRecognizer_) return;
  hasRecognizer_ = true;
  // The recognizer belongs to the cell, so it cannot outlive it.
  auto press = std::make_shared<UILongPressGestureRecognizer>([this](UIGestureRecognizer& r) { handleLongPressGesture(r); });
  press->setMinimumPressDuration(0.1);
  addGestureRecognizer(press);
}

void BigFeaturedCell::handleLongPressGesture(UIGestureRecognizer& recognizer) {
  switch (recognizer.state()) {
    case UIGestureRecognizerStateBegan: handleLongPressBegan(); break;
    case UIGestureRecognizerStateEnded:
    case UIGestureRecognizerStateCancelled: handleLongPressEnded(); break;
    default: break;
  }
}

void BigFeaturedCell::handleLongPressBegan() {
  NotificationCenter::defaultCenter().post(KVLongPressBeganNotification);
  if (isPressed_) return;
  isPressed_ = true;
  UIView::animateWithDuration(0.5, 0, 0.8, 0.2, UIViewAnimationOptionBeginFromCurrentState,
                              [this] { setTransform(CGAffineTransform::makeScale(0.95, 0.95)); });
}

void BigFeaturedCell::handleLongPressEnded() {
  if (isPressed_) {
    UIView::animateWithDuration(
        0.5, 0, 0.4, 0.2, UIViewAnimationOptionBeginFromCurrentState, [this] { setTransform(CGAffineTransform::identity()); },
        [weak = weakSelf(this)](bool) {
          if (auto self = weak.lock()) self->isPressed_ = false;
        });
  }
  NotificationCenter::defaultCenter().post(KVLongPressEndedNotification, Value(),
                                           Value::dict({{"identifier", Value(packageIdentifier_)}}));
}

void BigFeaturedCell::updatePackageIcon() { iconView_->setImage(KVRPackages::iconForIdentifier(packageIdentifier_)); }
