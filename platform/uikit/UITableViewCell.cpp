#include "uikit/UITableViewCell.h"

#include <algorithm>

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
  // A new accessory is the cell's to place, at the row's right end.
  placedAccessory_ = accessoryView_ ? accessoryView_->frame() : CGRect{};
  if (accessoryView_) addSubview(accessoryView_);
  setNeedsLayout();
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

namespace {
// Puts the view at `frame` unless someone else has placed it since the last layout.
void place(UIView* view, CGRect frame, CGRect& last) {
  if (!view) return;
  CGRect now = view->frame();
  bool unplaced = now.width() <= 0 && now.height() <= 0;
  if (!unplaced && !(now.origin.x == last.origin.x && now.origin.y == last.origin.y && now.size.width == last.size.width &&
                     now.size.height == last.size.height))
    return;
  view->setFrame(frame);
  last = frame;
}
}  // namespace

void UITableViewCell::layoutSubviews() {
  UIView::layoutSubviews();
  CGRect b = bounds();
  double accessoryWidth = 0;
  if (accessoryView_ && !accessoryView_->isHidden()) {
    CGSize size = accessoryView_->frame().size;
    if (size.width <= 0 || size.height <= 0) {
      size = accessoryView_->sizeThatFits({b.width(), b.height()});
      if (dynamic_cast<UISwitch*>(accessoryView_.get())) size = {51, 31};
    }
    place(accessoryView_.get(), CGRect::make(b.width() - 16 - size.width, (b.height() - size.height) / 2, size.width, size.height),
          placedAccessory_);
    accessoryWidth = size.width + 16;
  } else if (accessoryType_ != UITableViewCellAccessoryNone) {
    accessoryWidth = 34;
  }
  contentView_->setFrame(CGRect::make(0, 0, std::max(0.0, b.width() - accessoryWidth), b.height()));
  CGRect c = contentView_->bounds();
  // Text follows the separator's start where that lies further in; a row that moves its
  // separator away and indents back by as much keeps its text in place.
  double shift = double(indentationLevel_) * indentationWidth_ + std::max(0.0, separatorInset_.left - 15);
  double x = 16 + std::max(0.0, shift);
  if (imageView_->image()) {
    CGSize image = imageView_->image()->size();
    double side = std::min({image.height, c.height() - 8, 40.0});
    double w = image.height > 0 ? image.width * side / image.height : side;
    place(imageView_.get(), CGRect::make(x, (c.height() - side) / 2, w, side), placedImage_);
    x += w + 16;
  }
  double width = std::max(0.0, c.width() - x - 16);
  switch (style_) {
    case UITableViewCellStyleSubtitle: {
      double h = c.height() / 2;
      if (detailTextLabel_ && textLabel_->text().empty()) {
        // Without a title the subtitle has the row (a header's or a footer's lines).
        place(textLabel_.get(), CGRect::make(x, 0, width, 0), placedText_);
        place(detailTextLabel_.get(), CGRect::make(x, 4, width, std::max(0.0, c.height() - 8)), placedDetail_);
        break;
      }
      place(textLabel_.get(), CGRect::make(x, h - 20, width, 20), placedText_);
      place(detailTextLabel_.get(), CGRect::make(x, h + 1, width, 16), placedDetail_);
      break;
    }
    case UITableViewCellStyleValue1: {
      // Without a title the detail has the row; else the title keeps what it needs, up to
      // half the row when both need more.
      double detail = 0;
      if (detailTextLabel_ && textLabel_->text().empty()) {
        detail = width;
      } else if (detailTextLabel_) {
        double wants = detailTextLabel_->sizeThatFits({width, c.height()}).width;
        double title = textLabel_->sizeThatFits({width, c.height()}).width;
        detail = std::min(wants, std::max(width * 0.5, width - title - 8));
      }
      place(textLabel_.get(), CGRect::make(x, 0, width - detail - (detail > 0 ? 8 : 0), c.height()), placedText_);
      place(detailTextLabel_.get(), CGRect::make(x + width - detail, 0, detail, c.height()), placedDetail_);
      break;
    }
    case UITableViewCellStyleValue2: {
      double label = std::min(width, 90.0);
      place(textLabel_.get(), CGRect::make(x, 0, label, c.height()), placedText_);
      place(detailTextLabel_.get(), CGRect::make(x + label + 6, 0, std::max(0.0, width - label - 6), c.height()), placedDetail_);
      break;
    }
    default: place(textLabel_.get(), CGRect::make(x, 0, width, c.height()), placedText_); break;
  }
}
