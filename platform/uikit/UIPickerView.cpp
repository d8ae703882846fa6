#include "uikit/UIPickerView.h"

#include <algorithm>
#include <cmath>

#include "uikit/UIScreenTextFormat.h"

long UIPickerView::numberOfComponents() const {
  return dataSource_ ? dataSource_->numberOfComponentsInPickerView(const_cast<UIPickerView&>(*this)) : 0;
}

long UIPickerView::numberOfRowsInComponent(long component) const {
  if (!dataSource_ || component < 0 || component >= numberOfComponents()) return 0;
  return dataSource_->pickerViewNumberOfRowsInComponent(const_cast<UIPickerView&>(*this), component);
}

std::string UIPickerView::titleForRow(long row, long component) const {
  auto& self = const_cast<UIPickerView&>(*this);
  if (delegate_) {
    if (auto a = delegate_->pickerViewAttributedTitleForRow(self, row, component)) return a->string();
    if (auto t = delegate_->pickerViewTitleForRow(self, row, component)) return *t;
  }
  return "?";
}

void UIPickerView::selectRow(long row, long component, bool animated) {
  if (component < 0) return;
  if (animated) recordAnimation({"animation", 0.3, 0, 0, 0, 0, true});
  if (selected_.size() <= size_t(component)) selected_.resize(size_t(component) + 1, 0);
  selected_[size_t(component)] = row;
}

long UIPickerView::selectedRowInComponent(long component) const {
  if (component < 0 || size_t(component) >= selected_.size()) return numberOfRowsInComponent(component) > 0 ? 0 : -1;
  return selected_[size_t(component)];
}

void UIPickerView::reloadAllComponents() {
  for (long c = 0; c < long(selected_.size()); ++c) {
    long rows = numberOfRowsInComponent(c);
    selected_[size_t(c)] = rows == 0 ? 0 : std::clamp(selected_[size_t(c)], 0L, rows - 1);
  }
}

bool UIPickerView::pickByUser(long row, long component) {
  long rows = numberOfRowsInComponent(component);
  if (row < 0 || row >= rows) return false;
  long from = selectedRowInComponent(component);
  if (from == row) {
    if (delegate_) delegate_->pickerViewDidSelectRow(*this, row, component);
    return true;
  }
  long step = row > from ? 1 : -1;
  for (long r = from + step;; r += step) {
    selectRow(r, component);
    if (delegate_) delegate_->pickerViewDidSelectRow(*this, r, component);
    if (r == row) break;
  }
  return true;
}

bool UIPickerView::turnByUser(long rows, long component) {
  long count = numberOfRowsInComponent(component);
  if (count <= 0) return false;
  long from = selectedRowInComponent(component);
  long to = std::clamp(from + rows, 0L, count - 1);
  return to != from && pickByUser(to, component);
}

bool UIPickerView::tapByUser(CGPoint point) {
  auto row = rowAtPoint(point);
  return row && pickByUser(*row, componentAtX(point.x));
}

double UIPickerView::rowHeightForComponent(long component) const {
  double height = delegate_ ? delegate_->pickerViewRowHeightForComponent(const_cast<UIPickerView&>(*this), component) : 32;
  return height > 0 ? height : 32;
}

CGRect UIPickerView::rectForRow(long row, long component) const {
  long components = std::max(1L, numberOfComponents());
  double width = bounds().width() / double(components);
  double height = rowHeightForComponent(component);
  double middle = bounds().minY() + (bounds().height() - height) / 2;
  return CGRect::make(bounds().minX() + width * double(component),
                      middle + double(row - selectedRowInComponent(component)) * height, width, height);
}

long UIPickerView::componentAtX(double x) const {
  long components = numberOfComponents();
  if (components <= 1 || bounds().width() <= 0) return 0;
  long column = long(std::floor((x - bounds().minX()) / (bounds().width() / double(components))));
  return std::clamp(column, 0L, components - 1);
}

std::optional<long> UIPickerView::rowAtPoint(CGPoint point) const {
  if (!bounds().contains(point)) return std::nullopt;
  long component = componentAtX(point.x);
  CGRect chosen = rectForRow(selectedRowInComponent(component), component);
  long row = selectedRowInComponent(component) + long(std::floor((point.y - chosen.minY()) / chosen.height()));
  if (row < 0 || row >= numberOfRowsInComponent(component)) return std::nullopt;
  return row;
}

NSAttributedString UIPickerView::attributedTitleForRow(long row, long component) const {
  if (delegate_)
    if (auto a = delegate_->pickerViewAttributedTitleForRow(const_cast<UIPickerView&>(*this), row, component)) return *a;
  return NSAttributedString(titleForRow(row, component));
}

bool UIPickerView::appendScreenText(std::vector<std::string>& lines) const {
  for (long c = 0; c < numberOfComponents(); ++c) {
    std::string line = "picker:";
    long rows = numberOfRowsInComponent(c), sel = selectedRowInComponent(c);
    for (long r = 0; r < rows; ++r) {
      std::string t = UIScreenTextFormat::oneLine(titleForRow(r, c), 40);
      line += (r ? " | " : " ") + (r == sel ? "(" + t + ")" : t);
    }
    lines.push_back(line);
  }
  return true;
}
