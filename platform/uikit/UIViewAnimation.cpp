// The animation half of UIView: changes apply at once, completions run on the next
// turn of the main loop, and every request is recorded.
#include "foundation/RunLoop.h"
#include "uikit/UIView.h"

namespace {
std::vector<UIAnimationRecord>& records() {
  static std::vector<UIAnimationRecord> r;
  return r;
}
int gDisabledDepth = 0;
}  // namespace

void UIView::completeOnNextTurn(std::function<void(bool)> completion) {
  if (!completion) return;
  RunLoop::main().post([completion = std::move(completion)] { completion(true); });
}

void UIView::recordAnimation(UIAnimationRecord record) {
  if (gDisabledDepth > 0) record.animated = false;
  records().push_back(std::move(record));
}

const std::vector<UIAnimationRecord>& UIView::recordedAnimations() { return records(); }
void UIView::clearRecordedAnimations() { records().clear(); }
bool UIView::areAnimationsEnabled() { return gDisabledDepth == 0; }

void UIView::performWithoutAnimation(const std::function<void()>& actions) {
  ++gDisabledDepth;
  actions();
  --gDisabledDepth;
}

void UIView::animateWithDuration(double duration, std::function<void()> animations,
                                 std::function<void(bool)> completion) {
  animateWithDuration(duration, 0, 0, std::move(animations), std::move(completion));
}

void UIView::animateWithDuration(double duration, double delay, unsigned long options,
                                 std::function<void()> animations, std::function<void(bool)> completion) {
  recordAnimation({"animation", duration, delay, 0, 0, options, true});
  if (animations) animations();
  completeOnNextTurn(std::move(completion));
}

void UIView::animateWithDuration(double duration, double delay, double damping, double velocity,
                                 unsigned long options, std::function<void()> animations,
                                 std::function<void(bool)> completion) {
  recordAnimation({"spring", duration, delay, damping, velocity, options, true});
  if (animations) animations();
  completeOnNextTurn(std::move(completion));
}

void UIView::transitionWithView(UIView*, double duration, unsigned long options, std::function<void()> animations,
                                std::function<void(bool)> completion) {
  recordAnimation({"transition", duration, 0, 0, 0, options, true});
  if (animations) animations();
  completeOnNextTurn(std::move(completion));
}

void UIView::transitionFromView(UIView* from, std::shared_ptr<UIView> to, double duration, unsigned long options,
                                std::function<void(bool)> completion) {
  recordAnimation({"transition", duration, 0, 0, 0, options, true});
  if (from && to && from->superview()) {
    UIView* parent = from->superview();
    parent->insertSubviewAbove(to, from);
    from->removeFromSuperview();
  }
  completeOnNextTurn(std::move(completion));
}
