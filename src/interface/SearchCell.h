#pragma once
// The generic result row: an icon, a title, a subtitle, a follow button (hidden where
// nothing is followed) and a bottom separator. It has no behaviour of its own: the
// screens that list results register it (interface file "SearchCell", under "cell")
// and fill it.
#include <string>

#include "uikit/UITableViewCell.h"

class UIButton;

class SearchCell : public UITableViewCell {
 public:
  explicit SearchCell(const std::string& reuseIdentifier = "cell");
  static void registerInterfaceFile();

  UIImageView* iconView() const { return iconView_; }
  UILabel* nameLbl() const { return nameLbl_; }
  UILabel* subinfoLbl() const { return subinfoLbl_; }
  UIButton* followBtn() const { return followBtn_; }
  UIView* separator() const { return separator_; }

  // "title | subtitle | >": what a person reads of the row.
  void screenRowParts(std::string& text, std::string& detail, std::string& accessory) const override;

 private:
  UIImageView* iconView_ = nullptr;
  UILabel* nameLbl_ = nullptr;
  UILabel* subinfoLbl_ = nullptr;
  UIButton* followBtn_ = nullptr;
  UIView* separator_ = nullptr;
};
