#include "sources/SourcesCell.h"

#include <algorithm>
#include <utility>

#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UINib.h"

// The interface file's arrangement of a 99-point row: icon, name and description on top,
// the three counts in a strip below.
SourcesCell::SourcesCell(const std::string& reuseIdentifier) : UITableViewCell(UITableViewCellStyleDefault, reuseIdentifier) {
  auto icon = std::make_shared<UIImageView>();
  icon->setFrame(CGRect::make(16, 10, 50, 50));
  auto name = std::make_shared<UILabel>(CGRect::make(78, 10, 260, 20));
  name->setFont(UIFont::boldSystemFontOfSize(16));
  auto description = std::make_shared<UILabel>(CGRect::make(78, 32, 260, 30));
  description->setFont(UIFont::systemFontOfSize(12));
  description->setNumberOfLines(2);
  auto container = std::make_shared<UIView>(CGRect::make(16, 68, 330, 22));
  auto strip = [&](double x, UIImageView** view, UILabel** label) {
    auto picture = std::make_shared<UIImageView>();
    picture->setFrame(CGRect::make(x, 3, 16, 16));
    auto text = std::make_shared<UILabel>(CGRect::make(x + 20, 0, 80, 22));
    text->setFont(UIFont::systemFontOfSize(12));
    container->addSubview(picture);
    container->addSubview(text);
    *view = picture.get();
    *label = text.get();
  };
  strip(0, &installedImage_, &installedLbl_);
  strip(110, &totalImage_, &totalLbl_);
  strip(220, &regenImage_, &regenLbl_);
  auto separator = std::make_shared<UIView>(CGRect::make(16, 98, 343, 1));
  separator->setBackgroundColor(UIColor::colorWithWhite(0.5, 0.3));
  for (const std::shared_ptr<UIView>& v : std::vector<std::shared_ptr<UIView>>{icon, name, description, container, separator})
    contentView()->addSubview(v);
  iconView_ = icon.get();
  nameLbl_ = name.get();
  descriptionLbl_ = description.get();
  containerView_ = container.get();
  separator_ = separator.get();
}

void SourcesCell::layoutSubviews() {
  UITableViewCell::layoutSubviews();
  double width = contentView()->bounds().width();
  nameLbl_->setFrame(CGRect::make(78, 10, std::max(0.0, width - 78 - 4), 20));
  descriptionLbl_->setFrame(CGRect::make(78, 32, std::max(0.0, width - 78 - 4), 30));
  // The strip lies below the chevron: it takes the row's whole width.
  double strip = std::max(0.0, bounds().width() - 16 - 12);
  containerView_->setFrame(CGRect::make(16, 68, strip, 22));
  // Three columns of counts, each its picture then its text.
  const std::pair<UIImageView*, UILabel*> columns[] = {
      {installedImage_, installedLbl_}, {totalImage_, totalLbl_}, {regenImage_, regenLbl_}};
  for (size_t i = 0; i < 3; ++i) {
    double x = strip * double(i) / 3;
    columns[i].first->setFrame(CGRect::make(x, 3, 16, 16));
    double end = i == 2 ? strip : strip * double(i + 1) / 3 - 4;  // the last runs to the strip's end
    columns[i].second->setFrame(CGRect::make(x + 20, 0, std::max(0.0, end - x - 20), 22));
  }
}

void SourcesCell::registerInterfaceFile() {
  UINib::registerView("SourcesCell", [] { return std::make_shared<SourcesCell>("sourcesCell"); });
}

std::string SourcesCell::regenDate() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return regenDate_;
}

void SourcesCell::setRegenDate(std::string date) {
  std::lock_guard<std::mutex> lock(mutex_);
  regenDate_ = std::move(date);
}

std::string SourcesCell::sourceLocation() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sourceLocation_;
}

void SourcesCell::setSourceLocation(std::string location) {
  std::lock_guard<std::mutex> lock(mutex_);
  sourceLocation_ = std::move(location);
}

void SourcesCell::screenRowParts(std::string& text, std::string& detail, std::string& accessory) const {
  text = nameLbl_->text();
  detail = descriptionLbl_->text();
  auto add = [&](const std::string& part) {
    if (part.empty()) return;
    if (!detail.empty()) detail.append(" · ");
    detail.append(part);
  };
  if (!installedLbl_->text().empty()) add(installedLbl_->text() + " installed");
  // A new source counts " " packages until its first refresh.
  if (totalLbl_->text().find_first_not_of(' ') != std::string::npos)
    add(totalLbl_->text() + (totalLbl_->text() == "1" ? " package" : " packages"));
  add(regenLbl_->text());
  accessory.clear();
  if (accessoryType() == UITableViewCellAccessoryDisclosureIndicator) accessory.push_back('>');
}
