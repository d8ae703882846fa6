#pragma once
// A row of the news list: the entry's title, author, date and text, and a bottom
// separator. It has no behaviour of its own: the news list registers it (interface file
// "NewsCell", under "cell") and fills it.
#include <string>

#include "uikit/UITableViewCell.h"

class NewsCell : public UITableViewCell {
 public:
  explicit NewsCell(const std::string& reuseIdentifier = "cell");
  static void registerInterfaceFile();

  UILabel* newsTitleLbl() const { return newsTitleLbl_; }
  UILabel* newsAuthorLbl() const { return newsAuthorLbl_; }
  UILabel* newsDateLbl() const { return newsDateLbl_; }
  UILabel* newsContentLbl() const { return newsContentLbl_; }
  UIView* separator() const { return separator_; }

  // "title | by author · date": what a person reads first of the row.
  void screenRowParts(std::string& text, std::string& detail, std::string& accessory) const override;

 private:
  UILabel* newsTitleLbl_ = nullptr;
  UILabel* newsAuthorLbl_ = nullptr;
  UILabel* newsDateLbl_ = nullptr;
  UILabel* newsContentLbl_ = nullptr;
  UIView* separator_ = nullptr;
};
