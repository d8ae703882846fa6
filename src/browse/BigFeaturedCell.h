#pragma once
// A banner of the featured screen's carousel: the banner picture with a blurred strip
// along its bottom holding the package's icon, the banner's title, the package's
// description and "developer - source". A press of 0.1 s or more shrinks it and, on
// release, springs it back and announces "LongPressEndedNotification" with its package
// (a press begins with "LongPressBeganNotification"); a shorter touch is a plain tap.
// Interface file "BigFeaturedCell"; the carousel registers it under "cell".
#include <memory>
#include <string>

#include "uikit/UICollectionViewCell.h"

class UIGestureRecognizer;
class UIImageView;
class UILabel;
class UIVisualEffectView;

inline constexpr const char* KVLongPressBeganNotification = "LongPressBeganNotification";
inline constexpr const char* KVLongPressEndedNotification = "LongPressEndedNotification";

class BigFeaturedCell : public UICollectionViewCell {
 public:
  BigFeaturedCell();
  static void registerInterfaceFile();

  // The local package of the banner; empty when the database has none.
  const std::string& packageIdentifier() const { return packageIdentifier_; }
  void setPackageIdentifier(std::string identifier) { packageIdentifier_ = std::move(identifier); }
  bool isPressed() const { return isPressed_; }

  UIImageView* imageView() const { return imageView_; }
  UIVisualEffectView* bottomBlur() const { return bottomBlur_; }
  UIImageView* iconView() const { return iconView_; }
  UILabel* nameLbl() const { return nameLbl_; }
  UILabel* descriptionLbl() const { return descriptionLbl_; }
  UILabel* maintainerSourceLbl() const { return maintainerSourceLbl_; }

  void layoutSubviews() override;
  // Makes sure the cell carries its one long-press recognizer.
  void configureGestureRecognizer();
  void handleLongPressGesture(UIGestureRecognizer& recognizer);
  void handleLongPressBegan();
  void handleLongPressEnded();
  void updatePackageIcon();

 private:
  std::string packageIdentifier_;
  bool isPressed_ = false;
  bool hasRecognizer_ = false;
  UIImageView* imageView_ = nullptr;
  UIVisualEffectView* bottomBlur_ = nullptr;
  UIImageView* iconView_ = nullptr;
  UILabel* nameLbl_ = nullptr;
  UILabel* descriptionLbl_ = nullptr;
  UILabel* maintainerSourceLbl_ = nullptr;
};
