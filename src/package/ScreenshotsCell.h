#pragma once
// One screenshot of a collection: an image view over the whole cell, the image scaled
// to fit. Interface file "ScreenshotsCell"; the package page and the screenshot viewer
// register it under "cell".
#include <memory>
#include <string>

#include "uikit/UICollectionViewCell.h"

class UIImageView;

class ScreenshotsCell : public UICollectionViewCell {
 public:
  ScreenshotsCell();
  static void registerInterfaceFile();

  UIImageView* screenshotImageView() const { return screenshotImageView_; }
  void layoutSubviews() override;
  // The screenshot's name ("Screenshot 2"): the picture has no text of its own.
  std::string screenItemText() const override;

 private:
  UIImageView* screenshotImageView_ = nullptr;
};
