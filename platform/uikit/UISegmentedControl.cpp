#include "uikit/UISegmentedControl.h"

void UISegmentedControl::setTitle(const std::string& title, size_t index) {
  UI_MAIN_THREAD_ONLY();
  if (index < titles_.size()) titles_[index] = title;
}

void UISegmentedControl::insertSegmentWithTitle(const std::string& title, size_t index, bool) {
  if (index > titles_.size()) index = titles_.size();
  titles_.insert(titles_.begin() + long(index), title);
  widths_.insert(widths_.begin() + long(index), 0);
  if (selected_ >= long(index)) ++selected_;
}

void UISegmentedControl::removeAllSegments() {
  titles_.clear();
  widths_.clear();
  selected_ = UISegmentedControlNoSegment;
}

void UISegmentedControl::setWidth(double width, size_t index) {
  if (index < widths_.size()) widths_[index] = width < 0 ? 0 : width;
}

void UISegmentedControl::setSelectedSegmentIndex(long index) {
  UI_MAIN_THREAD_ONLY();
  selected_ = index >= 0 && index < long(titles_.size()) ? index : UISegmentedControlNoSegment;
}

void UISegmentedControl::selectByUser(long index) {
  if (!isEnabled() || index < 0 || index >= long(titles_.size())) return;
  bool changed = index != selected_;
  selected_ = index;
  if (changed) sendActionsForControlEvents(UIControlEventValueChanged);
}

bool UISegmentedControl::appendScreenText(std::vector<std::string>& lines) const {
  std::string line = "segments:";
  for (size_t i = 0; i < titles_.size(); ++i)
    line += " " + (long(i) == selected_ ? "(" + titles_[i] + ")" : titles_[i]);
  lines.push_back(line);
  return true;
}
