#pragma once
#include <string>
#include <vector>

#include "uikit/UIControl.h"

class UISegmentedControl : public UIControl {
 public:
  static constexpr long UISegmentedControlNoSegment = -1;
  UISegmentedControl() = default;
  explicit UISegmentedControl(std::vector<std::string> items) : titles_(std::move(items)) {}

  size_t numberOfSegments() const { return titles_.size(); }
  std::string titleForSegmentAtIndex(size_t index) const { return index < titles_.size() ? titles_[index] : ""; }
  void setTitle(const std::string& title, size_t index);
  void insertSegmentWithTitle(const std::string& title, size_t index, bool animated = false);
  void removeAllSegments();
  long selectedSegmentIndex() const { return selected_; }
  void setSelectedSegmentIndex(long index);
  const std::optional<UIColor>& selectedSegmentTintColor() const { return selectedTint_; }
  void setSelectedSegmentTintColor(std::optional<UIColor> color) { selectedTint_ = std::move(color); }
  // A person's tap on a segment: selects it and sends value-changed when it changed.
  void selectByUser(long index);
  bool appendScreenText(std::vector<std::string>& lines) const override;

 private:
  std::vector<std::string> titles_;
  long selected_ = UISegmentedControlNoSegment;
  std::optional<UIColor> selectedTint_;
};
