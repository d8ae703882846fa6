#include "uikit/UIFrameLayout.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <vector>

#include "uikit/UIView.h"

namespace {
constexpr double kEpsilon = 1e-9;

bool horizontal(NSLayoutAttribute a) {
  return a == NSLayoutAttributeLeft || a == NSLayoutAttributeRight || a == NSLayoutAttributeLeading ||
         a == NSLayoutAttributeTrailing || a == NSLayoutAttributeCenterX || a == NSLayoutAttributeWidth;
}

// How much of (low edge, size) an attribute is: the low edge is (1, 0), the high edge
// (1, 1), the middle (1, 0.5), the size (0, 1).
std::pair<double, double> weights(NSLayoutAttribute a) {
  switch (a) {
    case NSLayoutAttributeLeft: case NSLayoutAttributeLeading: case NSLayoutAttributeTop: return {1, 0};
    case NSLayoutAttributeRight: case NSLayoutAttributeTrailing: case NSLayoutAttributeBottom: return {1, 1};
    case NSLayoutAttributeCenterX: case NSLayoutAttributeCenterY: return {1, 0.5};
    default: return {0, 1};
  }
}

// Where a view's frame lies in the coordinates of the root of its tree.
CGRect absoluteFrame(const UIView* view) {
  CGPoint o = view->frame().origin;
  for (const UIView* s = view->superview(); s; s = s->superview()) {
    o.x += s->frame().origin.x - s->bounds().origin.x;
    o.y += s->frame().origin.y - s->bounds().origin.y;
  }
  return {o, view->frame().size};
}

// A linear equation sum(coefficients x variables) = value.
struct Equation {
  std::vector<double> coefficients;
  double value = 0;
};

// Equations taken one at a time, in order: one that follows from those before is
// dropped, and so is one that contradicts them (the first word stands). Kept in
// reduced row-echelon form, so a variable is settled once it leads a row alone.
class LinearSystem {
 public:
  explicit LinearSystem(size_t variables) : pivotRow_(variables, -1) {}

  void add(Equation e) {
    for (size_t r = 0; r < rows_.size(); ++r) subtract(e, rows_[r], e.coefficients[pivots_[r]]);
    size_t pivot = 0;
    double best = 0;
    for (size_t v = 0; v < e.coefficients.size(); ++v)
      if (std::fabs(e.coefficients[v]) > best) best = std::fabs(e.coefficients[v]), pivot = v;
    if (best < kEpsilon) return;  // follows from, or contradicts, what came before
    double scale = e.coefficients[pivot];
    for (double& c : e.coefficients) c /= scale;
    e.value /= scale;
    for (auto& row : rows_) subtract(row, e, row.coefficients[pivot]);
    pivotRow_[pivot] = long(rows_.size());
    pivots_.push_back(pivot);
    rows_.push_back(std::move(e));
  }

  std::optional<double> valueOf(size_t variable) const {
    long r = pivotRow_[variable];
    if (r < 0) return std::nullopt;
    const Equation& row = rows_[size_t(r)];
    for (size_t v = 0; v < row.coefficients.size(); ++v)
      if (v != variable && std::fabs(row.coefficients[v]) > kEpsilon) return std::nullopt;
    return row.value;
  }

 private:
  static void subtract(Equation& from, const Equation& row, double times) {
    if (std::fabs(times) < kEpsilon) return;
    for (size_t v = 0; v < from.coefficients.size(); ++v) from.coefficients[v] -= times * row.coefficients[v];
    from.value -= times * row.value;
  }

  std::vector<Equation> rows_;
  std::vector<size_t> pivots_;
  std::vector<long> pivotRow_;
};

class Solver {
 public:
  explicit Solver(UIView& container) : container_(container) {
    for (auto& sub : container.subviews())
      if (!sub->translatesAutoresizingMaskIntoConstraints()) {
        index_[sub.get()] = order_.size();
        order_.push_back(sub.get());
      }
  }

  bool empty() const { return order_.empty(); }

  void solve() {
    collectConstraints();
    // Widths first: a wrapping label's height depends on its width.
    std::vector<CGRect> frames(order_.size());
    for (size_t i = 0; i < order_.size(); ++i) frames[i] = absoluteFrame(order_[i]);
    solveAxis(true, frames);
    solveAxis(false, frames);
    CGRect base = absoluteFrame(&container_);
    CGPoint scroll = container_.bounds().origin;
    for (size_t i = 0; i < order_.size(); ++i) {
      CGRect f = CGRect::make(frames[i].minX() - base.minX() + scroll.x, frames[i].minY() - base.minY() + scroll.y,
                              frames[i].width(), frames[i].height());
      if (f != order_[i]->frame()) order_[i]->setFrame(f);
    }
  }

 private:
  void collectConstraints() {
    std::vector<UIView*> holders;
    for (UIView* v = &container_; v; v = v->superview()) holders.push_back(v);
    holders.insert(holders.end(), order_.begin(), order_.end());
    std::vector<const NSLayoutConstraint*> inner;
    for (UIView* holder : holders)
      for (const auto& c : holder->constraints()) {
        if (c->relation() != NSLayoutRelationEqual || c->firstAttribute() == NSLayoutAttributeNotAnAttribute) continue;
        if (!unknown(c->firstItem()) && !unknown(c->secondItem())) continue;
        (insideUnknown(c->firstItem()) || insideUnknown(c->secondItem()) ? inner : constraints_).push_back(c.get());
      }
    auto byPriority = [](auto* a, auto* b) { return a->priority() > b->priority(); };
    std::stable_sort(constraints_.begin(), constraints_.end(), byPriority);
    // A view's own content (a label pinned inside a card) is placed when that view lays
    // out, from the frame it gets here: its frame of the last layout only sizes the view
    // where nothing else does.
    std::stable_sort(inner.begin(), inner.end(), byPriority);
    constraints_.insert(constraints_.end(), inner.begin(), inner.end());
  }

  // Whether the item lies inside one of the views being solved.
  bool insideUnknown(const NSLayoutItem& item) const {
    UIView* view = item.owningView();
    if (!view || unknown({view, nullptr})) return false;
    for (UIView* s = view->superview(); s && s != &container_; s = s->superview())
      if (unknown({s, nullptr})) return true;
    return false;
  }

  std::optional<size_t> unknown(const NSLayoutItem& item) const {
    if (!item.view) return std::nullopt;
    auto it = index_.find(item.view);
    return it == index_.end() ? std::nullopt : std::optional<size_t>(it->second);
  }

  // The rectangle of an item that is not being solved: a view's frame or a guide's.
  std::optional<CGRect> fixedRect(const NSLayoutItem& item) const {
    if (item.view) return absoluteFrame(item.view);
    if (!item.guide || !item.guide->owningView() || unknown({item.guide->owningView(), nullptr})) return std::nullopt;
    UIView* owner = item.guide->owningView();
    CGRect r = absoluteFrame(owner);
    UIEdgeInsets in =
        item.guide->identifier() == "UIViewSafeAreaLayoutGuide" ? owner->safeAreaInsets() : owner->layoutMargins();
    return CGRect::make(r.minX() + in.left, r.minY() + in.top, r.width() - in.left - in.right,
                        r.height() - in.top - in.bottom);
  }

  // Adds `times` x the item's attribute to the equation; false when it cannot be known.
  bool addTerm(Equation& e, const NSLayoutItem& item, NSLayoutAttribute a, double times) const {
    auto [low, size] = weights(a);
    if (auto i = unknown(item)) {
      e.coefficients[2 * *i] += times * low;
      e.coefficients[2 * *i + 1] += times * size;
      return true;
    }
    auto rect = fixedRect(item);
    if (!rect) return false;
    bool h = horizontal(a);
    double value = low * (h ? rect->minX() : rect->minY()) + size * (h ? rect->width() : rect->height());
    e.value -= times * value;
    return true;
  }

  void solveAxis(bool across, std::vector<CGRect>& frames) {
    size_t n = order_.size();
    LinearSystem system(2 * n);
    auto equation = [&] { return Equation{std::vector<double>(2 * n, 0.0), 0}; };
    for (const NSLayoutConstraint* c : constraints_) {
      if (horizontal(c->firstAttribute()) != across) continue;
      if (!c->secondItem().isNull() && horizontal(c->secondAttribute()) != across) continue;
      // first - multiplier x second = constant
      Equation e = equation();
      e.value = c->constant();
      if (!addTerm(e, c->firstItem(), c->firstAttribute(), 1)) continue;
      if (!c->secondItem().isNull() && !addTerm(e, c->secondItem(), c->secondAttribute(), -c->multiplier())) continue;
      system.add(std::move(e));
    }
    // What the constraints leave open: a view's intrinsic size, then its frame.
    for (size_t i = 0; i < n; ++i) {
      if (system.valueOf(2 * i + 1)) continue;
      if (auto size = intrinsic(order_[i], across, frames[i].width())) {
        Equation e = equation();
        e.coefficients[2 * i + 1] = 1;
        e.value = *size;
        system.add(std::move(e));
      }
    }
    for (size_t i = 0; i < n; ++i) {
      for (size_t k : {2 * i, 2 * i + 1}) {
        if (system.valueOf(k)) continue;
        Equation e = equation();
        e.coefficients[k] = 1;
        e.value = k % 2 ? (across ? frames[i].width() : frames[i].height()) : (across ? frames[i].minX() : frames[i].minY());
        system.add(std::move(e));
      }
    }
    for (size_t i = 0; i < n; ++i) {
      double low = system.valueOf(2 * i).value_or(across ? frames[i].minX() : frames[i].minY());
      double size = system.valueOf(2 * i + 1).value_or(across ? frames[i].width() : frames[i].height());
      if (across) frames[i] = CGRect::make(low, frames[i].minY(), size, frames[i].height());
      else frames[i] = CGRect::make(frames[i].minX(), low, frames[i].width(), size);
    }
  }

  // A view's own size along an axis, when it has one; text is measured at `width`.
  static std::optional<double> intrinsic(UIView* view, bool across, double width) {
    CGSize natural = view->intrinsicContentSize();
    if (across) return natural.width >= 0 ? std::optional<double>(natural.width) : std::nullopt;
    if (natural.height < 0) return std::nullopt;
    return view->sizeThatFits({width, 0}).height;
  }

  UIView& container_;
  std::vector<UIView*> order_;
  std::map<UIView*, size_t> index_;
  std::vector<const NSLayoutConstraint*> constraints_;
};
}  // namespace

namespace UIFrameLayout {
void layoutSubviewsOf(UIView& container) {
  Solver solver(container);
  if (!solver.empty()) solver.solve();
}
}  // namespace UIFrameLayout
