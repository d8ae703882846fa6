#include "uikit/UIViewControllerTransitionCoordinator.h"

#include "uikit/UIView.h"

bool UIViewControllerTransitionCoordinator::animateAlongsideTransition(std::function<void()> alongside,
                                                                       std::function<void()> completion) {
  if (alongside) alongside_.push_back(std::move(alongside));
  if (completion) completions_.push_back(std::move(completion));
  return true;
}

void UIViewControllerTransitionCoordinator::runAlongside() {
  // A change may add more (a screen asked again from inside its block).
  for (size_t i = 0; i < alongside_.size(); ++i) {
    auto block = alongside_[i];
    block();
  }
  alongside_.clear();
}

void UIViewControllerTransitionCoordinator::finish() {
  auto completions = std::move(completions_);
  completions_.clear();
  UIView::completeOnNextTurn([completions](bool) {
    for (auto& c : completions) c();
  });
}
