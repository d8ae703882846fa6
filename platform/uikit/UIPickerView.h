#pragma once
#include <optional>
#include <string>
#include <vector>

#include "uikit/NSAttributedString.h"
#include "uikit/UIView.h"

class UIPickerView;

class UIPickerViewDataSource {
 public:
  virtual ~UIPickerViewDataSource() = default;
  virtual long numberOfComponentsInPickerView(UIPickerView&) = 0;
  virtual long pickerViewNumberOfRowsInComponent(UIPickerView&, long component) = 0;
};

class UIPickerViewDelegate {
 public:
  virtual ~UIPickerViewDelegate() = default;
  virtual std::optional<std::string> pickerViewTitleForRow(UIPickerView&, long /*row*/, long /*component*/) {
    return std::nullopt;
  }
  virtual std::optional<NSAttributedString> pickerViewAttributedTitleForRow(UIPickerView&, long /*row*/,
                                                                            long /*component*/) {
    return std::nullopt;
  }
  virtual void pickerViewDidSelectRow(UIPickerView&, long /*row*/, long /*component*/) {}
  virtual double pickerViewRowHeightForComponent(UIPickerView&, long /*component*/) { return 32; }
};

// A wheel of rows per component.
class UIPickerView : public UIView {
 public:
  UIPickerView() { setFrame(CGRect::make(0, 0, 320, 216)); }
  UIPickerViewDataSource* dataSource() const { return dataSource_; }
  void setDataSource(UIPickerViewDataSource* dataSource) { dataSource_ = dataSource; }
  UIPickerViewDelegate* delegate() const { return delegate_; }
  void setDelegate(UIPickerViewDelegate* delegate) { delegate_ = delegate; }

  long numberOfComponents() const;
  long numberOfRowsInComponent(long component) const;
  // The row's text: the delegate's attributed title, else its plain title, else "?".
  std::string titleForRow(long row, long component) const;
  void selectRow(long row, long component, bool animated = false);
  long selectedRowInComponent(long component) const;
  void reloadAllComponents();

  // A person turning the wheel to `row`: each row passed over, and the row it stops
  // on, is reported to the delegate in turn.
  bool pickByUser(long row, long component = 0);
  // A person turning the wheel by `rows` (negative: towards the first row), as far as it
  // goes; answers whether it moved.
  bool turnByUser(long rows, long component = 0);
  // A person's tap on a row shown above or below the chosen one turns the wheel to it;
  // answers whether a row is there.
  bool tapByUser(CGPoint point);

  // Where the wheel shows its rows, in its bounds: each component a column of an equal
  // share of the width, its chosen row in a band across the middle, the others above
  // and below at the delegate's row height.
  double rowHeightForComponent(long component) const;
  CGRect rectForRow(long row, long component) const;
  // The component whose column holds `x` (the first or last beyond the edges).
  long componentAtX(double x) const;
  // The row shown under the point, if any.
  std::optional<long> rowAtPoint(CGPoint point) const;
  // The row's text as the delegate gives it, with its attributes where it has them.
  NSAttributedString attributedTitleForRow(long row, long component) const;

  bool appendScreenText(std::vector<std::string>& lines) const override;

 private:
  UIPickerViewDataSource* dataSource_ = nullptr;
  UIPickerViewDelegate* delegate_ = nullptr;
  mutable std::vector<long> selected_;
};
