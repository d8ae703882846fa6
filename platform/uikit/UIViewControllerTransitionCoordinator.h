#pragma once
// A change of the window's size as the screens see it: each is told of the new size and
// may add changes to run alongside (all at once, after every screen was told) and
// completions (on the next turn of the main loop).
#include <functional>
#include <vector>

class UIViewControllerTransitionCoordinator {
 public:
  explicit UIViewControllerTransitionCoordinator(double duration = 0.3) : duration_(duration) {}
  double transitionDuration() const { return duration_; }
  bool isAnimated() const { return duration_ > 0; }
  bool animateAlongsideTransition(std::function<void()> alongside, std::function<void()> completion = {});

  // Used by the window: runs the alongside changes, then queues the completions.
  void runAlongside();
  void finish();

 private:
  double duration_;
  std::vector<std::function<void()>> alongside_, completions_;
};
