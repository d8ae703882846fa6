#include "account/NewsCell.h"

#include "uikit/UIFont.h"
#include "uikit/UILabel.h"
#include "uikit/UINib.h"

// The interface file's arrangement of a 134-point row.
NewsCell::NewsCell(const std::string& reuseIdentifier) : UITableViewCell(UITableViewCellStyleDefault, reuseIdentifier) {
  auto title = std::make_shared<UILabel>(CGRect::make(16, 12, 343, 22));
  title->setFont(UIFont::boldSystemFontOfSize(18));
  auto author = std::make_shared<UILabel>(CGRect::make(16, 36, 200, 18));
  author->setFont(UIFont::systemFontOfSize(13));
  auto date = std::make_shared<UILabel>(CGRect::make(216, 36, 143, 18));
  date->setFont(UIFont::systemFontOfSize(13));
  date->setTextAlignment(NSTextAlignmentRight);
  auto content = std::make_shared<UILabel>(CGRect::make(16, 60, 343, 62));
  content->setFont(UIFont::systemFontOfSize(14));
  content->setNumberOfLines(3);
  auto separator = std::make_shared<UIView>(CGRect::make(16, 133, 359, 1));
  separator->setBackgroundColor(UIColor::colorWithWhite(0.5, 0.3));
  for (const std::shared_ptr<UIView>& v : std::vector<std::shared_ptr<UIView>>{title, author, date, content, separator})
    contentView()->addSubview(v);
  newsTitleLbl_ = title.get();
  newsAuthorLbl_ = author.get();
  newsDateLbl_ = date.get();
  newsContentLbl_ = content.get();
  separator_ = separator.get();
}

void NewsCell::registerInterfaceFile() {
  UINib::registerView("NewsCell", [] { return std::make_shared<NewsCell>("cell"); });
}

void NewsCell::screenRowParts(std::string& text, std::string& detail, std::string& accessory) const {
  text = newsTitleLbl_->text();
  detail = newsAuthorLbl_->text();
  if (!newsDateLbl_->text().empty()) detail += (detail.empty() ? "" : " · ") + newsDateLbl_->text();
  accessory.clear();
}
