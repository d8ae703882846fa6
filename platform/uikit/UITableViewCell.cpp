#include "uikit/UITableViewCell.h"

#include "uikit/UIButton.h"
#include "uikit/UIScreenTextFormat.h"
#include "uikit/UISegmentedControl.h"
#include "uikit/UISwitch.h"

UITableViewCell::UITableViewCell(UITableViewCellStyle style, std::string reuseIdentifier)
    : style_(style), reuseIdentifier_(std::move(reuseIdentifier)) {
  setFrame(CGRect::make(0, 0, 320, 44));
  contentView_ = std::make_shared<UIView>(CGRect::make(0, 0, 320, 44));
  addSubview(contentView_);
  imageView_ = std::make_shared<UIImageView>();
  textLabel_ = std::make_shared<UILabel>();
  contentView_->addSubview(imageView_);
  contentView_->addSubview(textLabel_);
  if (style != UITableViewCellStyleDefault) {
    detailTextLabel_ = std::make_shared<UILabel>();
    detailTextLabel_->setFont(UIFont::systemFontOfSize(style == UITableViewCellStyleSubtitle ? 12 : 17));
    detailTextLabel_->setTextColor(style == UITableViewCellStyleValue1 ? UIColor::grayColor() : UIColor::darkTextColor());
    contentView_->addSubview(detailTextLabel_);
  }
}

void UITableViewCell::setAccessoryView(std::shared_ptr<UIView> view) {
  if (accessoryView_) accessoryView_->removeFromSuperview();
  accessoryView_ = std::move(view);
  if (accessoryView_) addSubview(accessoryView_);
}

void UITableViewCell::setSelected(bool selected, bool animated) {
  if (animated) recordAnimation({"animation", 0.25, 0, 0, 0, 0, true});
  selected_ = selected;
}

namespace {
void collect(const UIView* view, std::vector<std::string>& texts, std::vector<std::string>& controls) {
  for (const auto& sub : view->subviews()) {
    if (sub->isHidden() || sub->alpha() <= 0.01) continue;
    if (auto* b = dynamic_cast<const UIButton*>(sub.get())) {
      controls.push_back(b->screenLabel());
    } else if (auto* s = dynamic_cast<const UISwitch*>(sub.get())) {
      controls.push_back(s->screenLabel());
    } else if (auto* l = dynamic_cast<const UILabel*>(sub.get())) {
      if (!l->text().empty()) texts.push_back(UIScreenTextFormat::oneLine(l->text(), 100));
    } else {
      std::vector<std::string> lines;
      if (sub->appendScreenText(lines)) {
        for (auto& line : lines) controls.push_back(line);
      } else {
        for (auto& line : lines) texts.push_back(line);
        collect(sub.get(), texts, controls);
      }
    }
  }
}
}  // namespace

void UITableViewCell::screenRowParts(std::string& text, std::string& detail, std::string& accessory) const {
  std::vector<std::string> texts, controls;
  collect(contentView_.get(), texts, controls);
  text.clear();
  detail.clear();
  if (!texts.empty()) text = texts.front();
  for (size_t i = 1; i < texts.size(); ++i) detail += (detail.empty() ? "" : " · ") + texts[i];
  std::vector<std::string> acc = controls;
  if (accessoryView_ && !accessoryView_->isHidden()) {
    if (auto* s = dynamic_cast<const UISwitch*>(accessoryView_.get())) acc.push_back(s->screenLabel());
    else if (auto* b = dynamic_cast<const UIButton*>(accessoryView_.get())) acc.push_back(b->screenLabel());
    else {
      std::vector<std::string> lines;
      accessoryView_->appendScreenText(lines);
      for (auto& l : lines) acc.push_back(l);
    }
  }
  switch (accessoryType_) {
    case UITableViewCellAccessoryDisclosureIndicator: acc.push_back(">"); break;
    case UITableViewCellAccessoryDetailDisclosureButton: acc.push_back("(i) >"); break;
    case UITableViewCellAccessoryCheckmark: acc.push_back("✓"); break;
    case UITableViewCellAccessoryDetailButton: acc.push_back("(i)"); break;
    default: break;
  }
  accessory.clear();
  for (auto& a : acc) accessory += (accessory.empty() ? "" : " ") + a;
}

bool UITableViewCell::appendScreenText(std::vector<std::string>& lines) const {
  std::string text, detail, accessory;
  screenRowParts(text, detail, accessory);
  std::string line = text;
  if (!detail.empty() || !accessory.empty()) line += detail.empty() ? " |" : " | " + detail;
  if (!accessory.empty()) line += " | " + accessory;
  lines.push_back(line);
  return true;
}
