#pragma once
// One screenshot of a collection: an image view over the whole cell, the image scaled
// to fit. Interface file "ScreenshotsCell"; the package page and the screenshot viewer
// register it under "cell".
#include <memory>
#include <string>

#include "uikit/UICollectionViewCell.h"

class UIImage;
class UIImageView;

class ScreenshotsCell : public UICollectionViewCell {
 public:
  ScreenshotsCell();
  static void registerInterfaceFile();

  UIImageView* screenshotImageView() const { return screenshotImageView_; }
  // Shows a screenshot (none: an empty place), fitted in, under the name a person reads.
  void setScreenshot(std::shared_ptr<UIImage> image, const std::string& name);
  void layoutSubviews() override;
  // The screenshot's name ("Screenshot 2"): the picture has no text of its own.
  std::string screenItemText() const override;

 private:
  UIImageView* screenshotImageView_ = nullptr;
};
