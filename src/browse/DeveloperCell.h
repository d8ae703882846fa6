#pragma once
// A developer as a small card: the avatar, a fixed caption and the developer's name. It
// has no behaviour of its own: the package page registers it (interface file
// "DeveloperCell", under "cell") and fills it.
#include <memory>

#include "uikit/UICollectionViewCell.h"

class UIImageView;
class UILabel;

class DeveloperCell : public UICollectionViewCell {
 public:
  DeveloperCell();
  static void registerInterfaceFile();

  UIImageView* developerIconView() const { return developerIconView_; }
  UILabel* developerTitle() const { return developerTitle_; }
  UILabel* developerNameLbl() const { return developerNameLbl_; }

 private:
  UIImageView* developerIconView_ = nullptr;
  UILabel* developerTitle_ = nullptr;
  UILabel* developerNameLbl_ = nullptr;
};
