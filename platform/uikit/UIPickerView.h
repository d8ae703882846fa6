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
  bool appendScreenText(std::vector<std::string>& lines) const override;

 private:
  UIPickerViewDataSource* dataSource_ = nullptr;
  UIPickerViewDelegate* delegate_ = nullptr;
  mutable std::vector<long> selected_;
};
