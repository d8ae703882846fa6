#pragma once
// The 44-point row of the categories tab's two cards and of the subcategories screen: an
// icon, a name and a thin line at the bottom whose trailing inset the screens set. The
// picture and the weight of a category's name follow one set of rules (lookForCategory):
// the resource image "Categories/<name>" when there is one, else the first rule its name
// matches (the groups' own pictures in bold). Interface file "CategoriesCell"; the screens
// register it under "catCell".
#include <memory>
#include <string>

#include "uikit/UITableViewCell.h"

class NSLayoutConstraint;
class UIImage;

class CategoriesCell : public UITableViewCell {
 public:
  explicit CategoriesCell(const std::string& reuseIdentifier = "catCell");
  // A row of one of the fixed kinds (0 all packages, 1 installed, 2 updated, 3 new,
  // 4 the repositories) with its kind's stock picture. Nothing makes rows this way.
  CategoriesCell(long categoryType, const std::string& reuseIdentifier);
  static void registerInterfaceFile();
  void layoutSubviews() override;

  UIImageView* iconView() const { return iconView_; }
  UILabel* nameLbl() const { return nameLbl_; }
  UIView* separator() const { return separator_; }
  NSLayoutConstraint* separatorTrailingConstraint() const { return separatorTrailing_.get(); }

  // The picture and the weight of a row of the categories: what the categories tab's
  // second card and the subcategories screen show beside a name.
  struct Look {
    std::string imageName;
    bool bold = false;
  };
  static Look lookForCategory(const std::string& text);
  // Shows the look: its picture, and the name in the system font of the label's size at
  // its weight.
  void applyLook(const Look& look);

 private:
  UIImageView* iconView_ = nullptr;
  UILabel* nameLbl_ = nullptr;
  UIView* separator_ = nullptr;
  std::shared_ptr<NSLayoutConstraint> separatorTrailing_;
};
