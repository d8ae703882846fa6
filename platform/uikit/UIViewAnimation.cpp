// The animation half of UIView: changes apply at once, completions run on the next
// turn of the main loop, and every request is recorded. Where animations play (the
// desktop window), the views still take the new values at once; what is drawn moves
// from the old values to the new over the duration, and the completion waits for the end.
#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

#include "foundation/Clock.h"
#include "foundation/RunLoop.h"
#include "uikit/UIView.h"
#include "uikit/UIWindow.h"

// The values an animation moves, read and put back without any of the setters' effects
// (the views keep their own values; only drawing sees the moving ones).
struct UIViewAnimatable {
  CGRect frame;
  double alpha = 1;
  CGAffineTransform transform;
  std::optional<UIColor> background;

  static UIViewAnimatable of(const UIView& v) { return {v.frame_, v.alpha_, v.transform_, v.backgroundColor_}; }
  void putInto(UIView& v) const {
    v.frame_ = frame;
    v.alpha_ = alpha;
    v.transform_ = transform;
    v.backgroundColor_ = background;
  }
  enum : unsigned { Frame = 1, Alpha = 2, Transform = 4, Background = 8 };
  // Which of the values differ from `o`'s.
  unsigned differences(const UIViewAnimatable& o) const {
    return (frame != o.frame ? Frame : 0u) | (alpha != o.alpha ? Alpha : 0u) | (transform != o.transform ? Transform : 0u) |
           (background != o.background ? Background : 0u);
  }
  // Takes the values named in `which` from `o`.
  void take(const UIViewAnimatable& o, unsigned which) {
    if (which & Frame) frame = o.frame;
    if (which & Alpha) alpha = o.alpha;
    if (which & Transform) transform = o.transform;
    if (which & Background) background = o.background;
  }
};

namespace {
std::vector<UIAnimationRecord>& records() {
  static std::vector<UIAnimationRecord> r;
  return r;
}
int gDisabledDepth = 0;
bool gPlay = false;

double mix(double a, double b, double t) { return a + (b - a) * t; }

UIColor mix(const UIColor& a, const UIColor& b, double t) {
  return UIColor::colorWithRed(mix(a.red(), b.red(), t), mix(a.green(), b.green(), t), mix(a.blue(), b.blue(), t),
                               mix(a.alpha(), b.alpha(), t));
}

UIViewAnimatable mix(const UIViewAnimatable& a, const UIViewAnimatable& b, double t) {
  UIViewAnimatable m;
  m.frame = CGRect::make(mix(a.frame.minX(), b.frame.minX(), t), mix(a.frame.minY(), b.frame.minY(), t),
                         mix(a.frame.width(), b.frame.width(), t), mix(a.frame.height(), b.frame.height(), t));
  m.alpha = mix(a.alpha, b.alpha, t);
  const CGAffineTransform &x = a.transform, &y = b.transform;
  m.transform = {mix(x.a, y.a, t), mix(x.b, y.b, t), mix(x.c, y.c, t), mix(x.d, y.d, t), mix(x.tx, y.tx, t), mix(x.ty, y.ty, t)};
  if (a.background && b.background) m.background = mix(*a.background, *b.background, t);
  else if (a.background || b.background) {
    // From or to no colour: the colour fades in or out.
    const UIColor& c = a.background ? *a.background : *b.background;
    UIColor clear = UIColor::colorWithRed(c.red(), c.green(), c.blue(), 0);
    m.background = a.background ? mix(c, clear, t) : mix(clear, c, t);
  }
  return m;
}

// How far along (0 to 1, a spring may overshoot) an animation is at `t` of its duration.
double progress(double t, unsigned long options, double damping) {
  t = std::clamp(t, 0.0, 1.0);
  if (damping > 0) {
    if (t >= 1) return 1;
    double zeta = std::clamp(damping, 0.05, 0.999), omega = 10;
    double decay = std::exp(-zeta * omega * t), wd = omega * std::sqrt(1 - zeta * zeta);
    return 1 - decay * (std::cos(wd * t) + zeta / std::sqrt(1 - zeta * zeta) * std::sin(wd * t));
  }
  switch (options & (3ul << 16)) {
    case UIViewAnimationOptionCurveEaseIn: return t * t;
    case UIViewAnimationOptionCurveEaseOut: return 1 - (1 - t) * (1 - t);
    case UIViewAnimationOptionCurveLinear: return t;
    default: return t * t * (3 - 2 * t);
  }
}

// One animation of one view: the values it moves (a later animation of the same value
// takes it over from where it is seen).
struct Moving {
  std::weak_ptr<UIView> view;
  UIViewAnimatable from, to;
  double start = 0, duration = 0, damping = 0;
  unsigned long options = 0;
  unsigned values = 0;

  UIViewAnimatable at(double now) const {
    return mix(from, to, progress(duration > 0 ? (now - start) / duration : 1, options, damping));
  }
};

std::multimap<const UIView*, Moving>& moving() {
  static std::multimap<const UIView*, Moving> m;
  return m;
}

void dropFinished(double now) {
  auto& all = moving();
  for (auto it = all.begin(); it != all.end();)
    if (it->second.view.expired() || it->second.values == 0 || now >= it->second.start + it->second.duration)
      it = all.erase(it);
    else ++it;
}

// Starts moving the values of `view` that differ between `from` and its own.
void startMoving(UIView& view, UIViewAnimatable from, double start, double duration, double damping,
                 unsigned long options) {
  UIViewAnimatable to = UIViewAnimatable::of(view);
  unsigned values = from.differences(to);
  if (!values) return;
  auto [first, last] = moving().equal_range(&view);
  for (auto it = first; it != last; ++it) {
    if (it->second.view.lock().get() != &view) continue;
    // A value already moving starts from where it is seen.
    unsigned shared = it->second.values & values;
    from.take(it->second.at(start), shared);
    it->second.values &= ~shared;
  }
  moving().emplace(&view, Moving{view.weak_from_this(), from, to, start, duration, damping, options, values});
  dropFinished(start);
}

void collect(UIView& view, std::map<UIView*, UIViewAnimatable>& into) {
  into[&view] = UIViewAnimatable::of(view);
  for (const auto& sub : view.subviews()) collect(*sub, into);
}

std::map<UIView*, UIViewAnimatable> snapshot() {
  std::map<UIView*, UIViewAnimatable> all;
  for (UIWindow* w : UIWindow::allWindows()) collect(*w, all);
  return all;
}

// Starts moving each view whose values the animations changed.
void play(const std::map<UIView*, UIViewAnimatable>& before, double delay, double duration, double damping,
          unsigned long options) {
  double now = Clock::now();
  dropFinished(now);
  for (const auto& [view, old] : snapshot()) {
    (void)old;
    auto was = before.find(view);
    if (was != before.end()) startMoving(*view, was->second, now + delay, duration, damping, options);
  }
}

// Runs `animations`, playing them when animations play; the completion runs at the end.
void animate(double duration, double delay, double damping, unsigned long options,
             const std::function<void()>& animations, std::function<void(bool)> completion) {
  bool playing = gPlay && gDisabledDepth == 0 && duration + delay > 0;
  if (!playing) {
    if (animations) animations();
    UIView::completeOnNextTurn(std::move(completion));
    return;
  }
  auto before = snapshot();
  if (animations) animations();
  play(before, delay, duration, damping, options);
  if (completion) RunLoop::main().addTimer(delay + duration, [completion = std::move(completion)] { completion(true); });
}
}  // namespace

void UIView::setAnimationsPlayOverTime(bool play) {
  gPlay = play;
  if (!play) moving().clear();
}

bool UIView::animationsPlayOverTime() { return gPlay; }

bool UIView::isAnimationPlaying() {
  dropFinished(Clock::now());
  return !moving().empty();
}

void UIView::drawWithPresentationValues(const std::function<void()>& draw) {
  double now = Clock::now();
  dropFinished(now);
  // Each moving view's own values, kept to be put back, and what is seen of it now.
  std::map<const UIView*, std::tuple<std::shared_ptr<UIView>, UIViewAnimatable, UIViewAnimatable>> seen;
  for (const auto& [key, m] : moving()) {
    auto view = m.view.lock();
    if (!view || view.get() != key) continue;
    auto it = seen.find(key);
    if (it == seen.end())
      it = seen.emplace(key, std::make_tuple(view, UIViewAnimatable::of(*view), UIViewAnimatable::of(*view))).first;
    // Not started yet: seen where it was.
    std::get<2>(it->second).take(now < m.start ? m.from : m.at(now), m.values);
  }
  for (auto& [key, s] : seen) std::get<2>(s).putInto(*std::get<0>(s));
  draw();
  for (auto& [key, s] : seen) std::get<1>(s).putInto(*std::get<0>(s));
}

void UIView::playFrameChange(UIView& view, CGRect from, double duration, unsigned long options) {
  if (!gPlay || gDisabledDepth > 0 || duration <= 0) return;
  UIViewAnimatable start = UIViewAnimatable::of(view);
  start.frame = from;
  startMoving(view, start, Clock::now(), duration, 0, options);
}

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
  animate(duration, delay, 0, options, animations, std::move(completion));
}

void UIView::animateWithDuration(double duration, double delay, double damping, double velocity,
                                 unsigned long options, std::function<void()> animations,
                                 std::function<void(bool)> completion) {
  recordAnimation({"spring", duration, delay, damping, velocity, options, true});
  animate(duration, delay, damping, options, animations, std::move(completion));
}

void UIView::transitionWithView(UIView*, double duration, unsigned long options, std::function<void()> animations,
                                std::function<void(bool)> completion) {
  recordAnimation({"transition", duration, 0, 0, 0, options, true});
  animate(duration, 0, 0, options, animations, std::move(completion));
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
