#include "uikit/UIControl.h"

#include <algorithm>

void UIControl::addTarget(const void* target, Action action, unsigned long events) {
  if (!action || !events) return;
  actions_.push_back({target, std::move(action), events});
}

void UIControl::removeTarget(const void* target, unsigned long events) {
  for (auto& r : actions_)
    if (!target || r.target == target) r.events &= ~events;
  actions_.erase(std::remove_if(actions_.begin(), actions_.end(), [](const Registration& r) { return r.events == 0; }),
                 actions_.end());
}

size_t UIControl::actionCount(unsigned long events) const {
  return size_t(std::count_if(actions_.begin(), actions_.end(), [&](const Registration& r) { return r.events & events; }));
}

void UIControl::sendActionsForControlEvents(unsigned long events) {
  auto keep = weak_from_this().lock();  // an action may drop the last other owner
  auto registrations = actions_;
  for (auto& r : registrations)
    if (r.events & events) r.action(*this);
}

unsigned long UIControl::state() const {
  unsigned long s = UIControlStateNormal;
  if (highlighted_) s |= UIControlStateHighlighted;
  if (!enabled_) s |= UIControlStateDisabled;
  if (selected_) s |= UIControlStateSelected;
  return s;
}
