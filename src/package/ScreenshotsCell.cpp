#include "package/ScreenshotsCell.h"

#include "uikit/UIImageView.h"
#include "uikit/UINib.h"

ScreenshotsCell::ScreenshotsCell() {
  auto image = std::make_shared<UIImageView>();
  image->setContentMode(UIViewContentModeScaleAspectFit);
  image->setFrame(bounds());
  contentView()->addSubview(image);
  screenshotImageView_ = image.get();
  setBackgroundColor(UIColor::clearColor());
}

void ScreenshotsCell::registerInterfaceFile() {
  UINib::registerView("ScreenshotsCell", [] { return std::make_shared<ScreenshotsCell>(); });
}

void ScreenshotsCell::layoutSubviews() {
  UICollectionViewCell::layoutSubviews();
  contentView()->setFrame(bounds());
  screenshotImageView_->setFrame(bounds());
}

std::string ScreenshotsCell::screenItemText() const { return screenshotImageView_->accessibilityLabel(); }

void ScreenshotsCell::setScreenshot(std::shared_ptr<UIImage> image, const std::string& name) {
  setBackgroundColor(UIColor::clearColor());
  screenshotImageView_->setContentMode(UIViewContentModeScaleAspectFit);
  screenshotImageView_->setImage(std::move(image));
  screenshotImageView_->setAccessibilityLabel(name);
}
