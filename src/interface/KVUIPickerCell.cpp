#include "interface/KVUIPickerCell.h"

#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIFont.h"
#include "uikit/UILabel.h"
#include "uikit/UITableView.h"

KVUIPickerCell::KVUIPickerCell(UITableViewCellStyle, std::string reuseIdentifier)
    : UITableViewCell(UITableViewCellStyleValue1, std::move(reuseIdentifier)) {
  initialize();
}

void KVUIPickerCell::initialize() {
  expandedHeight_ = 260;
  UIView* content = contentView();
  picker_ = std::make_shared<UIPickerView>();
  picker_->setDataSource(this);
  picker_->setDelegate(this);
  picker_->setTranslatesAutoresizingMaskIntoConstraints(false);
  picker_->setHidden(true);
  content->addSubview(picker_);

  doneLabel_ = std::make_shared<UILabel>();
  doneLabel_->setFont(UIFont::systemFontOfSize(17));
  doneLabel_->setTextColor(buttonTextColor_);
  doneLabel_->setTextAlignment(NSTextAlignmentRight);
  doneLabel_->setText("Select");  // the same in every language
  doneLabel_->setUserInteractionEnabled(false);
  doneLabel_->setTranslatesAutoresizingMaskIntoConstraints(false);
  doneLabel_->setHidden(true);
  content->addSubview(doneLabel_);

  UILayoutGuide& margins = content->layoutMarginsGuide();
  pickerHeight_ = picker_->heightAnchor().constraintEqualToConstant(0);
  NSLayoutConstraint::activateConstraints({
      doneLabel_->topAnchor().constraintEqualToAnchor(margins.topAnchor()),
      doneLabel_->heightAnchor().constraintEqualToConstant(kCaptionHeight),
      doneLabel_->leadingAnchor().constraintEqualToAnchor(margins.leadingAnchor()),
      doneLabel_->trailingAnchor().constraintEqualToAnchor(margins.trailingAnchor()),
      picker_->topAnchor().constraintEqualToAnchor(margins.topAnchor(), kCaptionHeight),
      picker_->leadingAnchor().constraintEqualToAnchor(margins.leadingAnchor()),
      picker_->trailingAnchor().constraintEqualToAnchor(margins.trailingAnchor()),
      pickerHeight_,
  });
}

void KVUIPickerCell::setExpandedHeight(double height) {
  expandedHeight_ = height;
  if (expanded_) pickerHeight_->setConstant(expandedHeight_ - kCaptionHeight);
}

void KVUIPickerCell::setTitleSource(std::vector<std::string> titles) {
  titleSource_ = std::move(titles);
  picker_->reloadAllComponents();
  picker_->selectRow(selectedIndex_, 0);
}

void KVUIPickerCell::setButtonTextColor(std::optional<UIColor> color) {
  buttonTextColor_ = std::move(color);
  doneLabel_->setTextColor(buttonTextColor_);
}

void KVUIPickerCell::setSelectedIndex(long index) {
  if (index < 0 || index >= long(titleSource_.size())) return;
  selectedIndex_ = index;
  picker_->selectRow(index, 0, false);
}

void KVUIPickerCell::selectValue(const Value& value) {
  for (size_t i = 0; i < valueSource_.size(); ++i)
    if (valueSource_[i] == value) return setSelectedIndex(long(i));
}

void KVUIPickerCell::selectTitle(const std::string& title) {
  for (size_t i = 0; i < titleSource_.size(); ++i)
    if (titleSource_[i] == title) return setSelectedIndex(long(i));
}

std::optional<Value> KVUIPickerCell::currentValue() const {
  if (selectedIndex_ < 0 || selectedIndex_ >= long(valueSource_.size())) return std::nullopt;
  return valueSource_[size_t(selectedIndex_)];
}

std::optional<std::string> KVUIPickerCell::currentTitle() const {
  if (selectedIndex_ < 0 || selectedIndex_ >= long(titleSource_.size())) return std::nullopt;
  return titleSource_[size_t(selectedIndex_)];
}

void KVUIPickerCell::showState() {
  textLabel()->setHidden(expanded_);
  detailTextLabel()->setHidden(expanded_);
  picker_->setHidden(!expanded_);
  doneLabel_->setHidden(!expanded_);
  pickerHeight_->setConstant(expanded_ ? expandedHeight_ - kCaptionHeight : 0);
  detailTextLabel()->setText(currentTitle().value_or(""));
}

void KVUIPickerCell::setSelectedWithTableView(UITableView* tableView) {
  expanded_ = !expanded_;
  showState();
  if (!expanded_) {
    if (auto delegate = delegate_.lock())
      delegate->pickerCellDidFinalizeSelectionWithRow(*this, selectedIndex_, currentValue().value_or(Value()));
  }
  if (tableView) {
    // No change of rows: the table only reads the heights again and animates to them.
    tableView->beginUpdates();
    tableView->endUpdates();
  }
}

std::optional<NSAttributedString> KVUIPickerCell::pickerViewAttributedTitleForRow(UIPickerView&, long row, long) {
  if (row < 0 || row >= long(titleSource_.size())) return std::nullopt;
  NSTextAttributes attributes;
  attributes.foregroundColor = primaryTextColor_;
  return NSAttributedString(titleSource_[size_t(row)], attributes);
}

void KVUIPickerCell::pickerViewDidSelectRow(UIPickerView&, long row, long) {
  if (row < 0 || row >= long(titleSource_.size())) return;
  selectedIndex_ = row;
  if (auto delegate = delegate_.lock())
    delegate->pickerCellDidPickRow(*this, row, row < long(valueSource_.size()) ? valueSource_[size_t(row)] : Value());
}
