#include "uikit/UISwitch.h"

void UISwitch::setOn(bool on, bool animated) {
  UI_MAIN_THREAD_ONLY();
  if (animated) recordAnimation({"animation", 0.25, 0, 0, 0, 0, true});
  on_ = on;
}

void UISwitch::toggleByUser() {
  if (!isEnabled()) return;
  on_ = !on_;
  sendActionsForControlEvents(UIControlEventValueChanged);
}

bool UISwitch::appendScreenText(std::vector<std::string>& lines) const {
  lines.push_back("switch " + screenLabel());
  return true;
}
