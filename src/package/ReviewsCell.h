#pragma once
// One review as a card: its title, the reviewer, the votes, the text and five stars.
// It has no behaviour of its own: its owner fills it. Interface file "ReviewsCell"; the
// package page registers it under "cell".
#include <array>
#include <memory>

#include "uikit/UICollectionViewCell.h"

class UIButton;
class UILabel;

class ReviewsCell : public UICollectionViewCell {
 public:
  ReviewsCell();
  static void registerInterfaceFile();

  UILabel* titleLbl() const { return titleLbl_; }
  UILabel* nameLbl() const { return nameLbl_; }
  UILabel* voteLbl() const { return voteLbl_; }
  UILabel* commentLbl() const { return commentLbl_; }
  // rating1 ... rating5.
  const std::array<UIButton*, 5>& ratingButtons() const { return stars_; }

 private:
  UILabel* titleLbl_ = nullptr;
  UILabel* nameLbl_ = nullptr;
  UILabel* voteLbl_ = nullptr;
  UILabel* commentLbl_ = nullptr;
  std::array<UIButton*, 5> stars_{};
};
