#pragma once
#include <string>
#include <vector>

#include "uikit/UIControl.h"

class UISegmentedControl : public UIControl {
 public:
  static constexpr long UISegmentedControlNoSegment = -1;
  UISegmentedControl() = default;
  explicit UISegmentedControl(std::vector<std::string> items) : titles_(std::move(items)), widths_(titles_.size(), 0) {}

  size_t numberOfSegments() const { return titles_.size(); }
  std::string titleForSegmentAtIndex(size_t index) const { return index < titles_.size() ? titles_[index] : ""; }
  void setTitle(const std::string& title, size_t index);
  void insertSegmentWithTitle(const std::string& title, size_t index, bool animated = false);
  void removeAllSegments();
  // 0 sizes the segment to its title (the default).
  double widthForSegmentAtIndex(size_t index) const { return index < widths_.size() ? widths_[index] : 0; }
  void setWidth(double width, size_t index);
  long selectedSegmentIndex() const { return selected_; }
  void setSelectedSegmentIndex(long index);
  const std::optional<UIColor>& selectedSegmentTintColor() const { return selectedTint_; }
  void setSelectedSegmentTintColor(std::optional<UIColor> color) { selectedTint_ = std::move(color); }
  // A person's tap on a segment: selects it and sends value-changed when it changed.
  void selectByUser(long index);
  bool appendScreenText(std::vector<std::string>& lines) const override;

 private:
  std::vector<std::string> titles_;
  std::vector<double> widths_;
  long selected_ = UISegmentedControlNoSegment;
  std::optional<UIColor> selectedTint_;
};
