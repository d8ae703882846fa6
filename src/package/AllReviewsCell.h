#pragma once
// One review in the list of all reviews: a rounded card holding its title, the reviewer,
// five stars, the votes and the text. It has no behaviour of its own: its owner fills
// it. Interface file "AllReviewsCell"; the list registers it under "cell".
#include <array>
#include <string>

#include "uikit/UITableViewCell.h"

class UIImageView;
class UILabel;

class AllReviewsCell : public UITableViewCell {
 public:
  explicit AllReviewsCell(const std::string& reuseIdentifier = "cell");
  static void registerInterfaceFile();

  UIView* view() const { return card_; }
  UILabel* titleLbl() const { return titleLbl_; }
  UILabel* nameLbl() const { return nameLbl_; }
  UILabel* voteLbl() const { return voteLbl_; }
  UILabel* commentLbl() const { return commentLbl_; }
  // rating1 ... rating5.
  const std::array<UIImageView*, 5>& ratings() const { return stars_; }

 private:
  UIView* card_ = nullptr;
  UILabel* titleLbl_ = nullptr;
  UILabel* nameLbl_ = nullptr;
  UILabel* voteLbl_ = nullptr;
  UILabel* commentLbl_ = nullptr;
  std::array<UIImageView*, 5> stars_{};
};
