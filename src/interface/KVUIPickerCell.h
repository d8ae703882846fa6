#pragma once
// A row that shows a titled choice on one line and, tapped, opens in place into a wheel
// with a "Select" caption above it; tapped again it closes and reports the choice it
// settled on. The property-list screens use it for every row of cell type "picker".
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Value.h"
#include "interface/KVPickerCellDelegate.h"
#include "uikit/UIPickerView.h"
#include "uikit/UITableViewCell.h"

class NSLayoutConstraint;
class UITableView;

class KVUIPickerCell : public UITableViewCell, public UIPickerViewDataSource, public UIPickerViewDelegate {
 public:
  static constexpr double kCollapsedHeight = 44;
  static constexpr double kCaptionHeight = 44;

  // Always the value-1 style (title left, choice right), whatever style is asked for.
  explicit KVUIPickerCell(UITableViewCellStyle style = UITableViewCellStyleValue1, std::string reuseIdentifier = "picker");

  bool isExpanded() const { return expanded_; }
  // Opens or closes the row. With a table, the table animates the row to its new height;
  // without one (a row that left the screen) nothing moves, but the delegate is still
  // told of the final choice.
  void setSelectedWithTableView(UITableView* tableView);
  double heightForCell() const { return expanded_ ? expandedHeight_ : kCollapsedHeight; }
  double expandedHeight() const { return expandedHeight_; }
  void setExpandedHeight(double height);

  std::weak_ptr<KVPickerCellDelegate> delegate() const { return delegate_; }
  void setDelegate(std::weak_ptr<KVPickerCellDelegate> delegate) { delegate_ = std::move(delegate); }
  const std::vector<std::string>& titleSource() const { return titleSource_; }
  void setTitleSource(std::vector<std::string> titles);
  const std::vector<Value>& valueSource() const { return valueSource_; }
  void setValueSource(std::vector<Value> values) { valueSource_ = std::move(values); }

  long selectedIndex() const { return selectedIndex_; }
  // An index outside the titles is ignored.
  void setSelectedIndex(long index);
  // The first equal value (title); one that is not there keeps the current choice.
  void selectValue(const Value& value);
  void selectTitle(const std::string& title);
  // The value and title of the current choice; nothing when the sources hold none there.
  std::optional<Value> currentValue() const;
  std::optional<std::string> currentTitle() const;

  const std::optional<UIColor>& primaryTextColor() const { return primaryTextColor_; }
  void setPrimaryTextColor(std::optional<UIColor> color) { primaryTextColor_ = std::move(color); }
  const std::optional<UIColor>& secondaryTextColor() const { return secondaryTextColor_; }
  void setSecondaryTextColor(std::optional<UIColor> color) { secondaryTextColor_ = std::move(color); }
  const std::optional<UIColor>& buttonTextColor() const { return buttonTextColor_; }
  void setButtonTextColor(std::optional<UIColor> color);

  UIPickerView* picker() const { return picker_.get(); }
  UILabel* doneLabel() const { return doneLabel_.get(); }
  NSLayoutConstraint* pickerHeightConstraint() const { return pickerHeight_.get(); }

  // The wheel's data source and delegate.
  long numberOfComponentsInPickerView(UIPickerView&) override { return 1; }
  long pickerViewNumberOfRowsInComponent(UIPickerView&, long) override { return long(titleSource_.size()); }
  std::optional<NSAttributedString> pickerViewAttributedTitleForRow(UIPickerView&, long row, long component) override;
  void pickerViewDidSelectRow(UIPickerView&, long row, long component) override;

 private:
  void initialize();
  void showState();

  bool expanded_ = false;
  std::shared_ptr<UILabel> doneLabel_;
  std::weak_ptr<KVPickerCellDelegate> delegate_;
  std::shared_ptr<UIPickerView> picker_;
  std::vector<std::string> titleSource_;
  std::vector<Value> valueSource_;
  double expandedHeight_ = 260;
  long selectedIndex_ = 0;
  std::optional<UIColor> primaryTextColor_, secondaryTextColor_, buttonTextColor_;
  std::shared_ptr<NSLayoutConstraint> pickerHeight_;
};
