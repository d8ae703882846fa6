#include "render/WindowInput.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "foundation/Clock.h"
#include "foundation/RunLoop.h"
#include "render/BarDrawing.h"
#include "render/ModalDrawing.h"
#include "render/ViewRenderer.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UICollectionView.h"
#include "uikit/UICollectionViewCell.h"
#include "uikit/UIControl.h"
#include "uikit/UIInteraction.h"
#include "uikit/UILongPressGestureRecognizer.h"
#include "uikit/UIInteractionSupport.h"
#include "uikit/UINavigationBar.h"
#include "uikit/UIPickerView.h"
#include "uikit/UIScrollView.h"
#include "uikit/UISearchBar.h"
#include "uikit/UISegmentedControl.h"
#include "uikit/UISwitch.h"
#include "uikit/UITabBar.h"
#include "uikit/UITableView.h"
#include "uikit/UITableViewCell.h"
#include "uikit/UIWindow.h"

namespace {

// How far the pointer moves with the button down before the press becomes a drag.
constexpr double dragSlop = 8;

// The innermost scroll view under the point that scrolls; with `towards`, the innermost
// that can still move that way (down for a positive offset change), as a wheel turn
// passes from a list at its end to the page around it.
UIScrollView* scrollViewAt(CGPoint at, double towards = 0) {
  for (UIView* v = WindowInput::viewAt(at); v; v = v->superview()) {
    auto* scrollView = dynamic_cast<UIScrollView*>(v);
    if (!scrollView || !scrollView->isScrollEnabled()) continue;
    double y = scrollView->contentOffset().y;
    if (towards > 0 && y >= scrollView->maximumContentOffset().y - 0.5) continue;
    if (towards < 0 && y <= scrollView->minimumContentOffset().y + 0.5) continue;
    return scrollView;
  }
  return nullptr;
}

// Scrolls to `y` within the content's edges; answers whether an edge stopped it.
bool scrollTo(UIScrollView& scrollView, double y) {
  CGPoint offset = scrollView.contentOffset();
  double least = scrollView.minimumContentOffset().y, most = scrollView.maximumContentOffset().y;
  offset.y = std::clamp(y, least, most);
  scrollView.setContentOffset(offset);
  return offset.y != y;
}

// A released drag slows by this factor each second (the platform's usual rate, 0.998 a
// millisecond), and stops below the last speed.
constexpr double decelerationPerSecond = 0.135;
constexpr double stoppedSpeed = 10;  // points a second
constexpr double frameSeconds = 1.0 / 60;
// The pointer's speed is measured over its last moves within this time.
constexpr double velocityWindow = 0.1;

template <typename T>
T* enclosing(const UIView& view) {
  for (UIView* v = view.superview(); v; v = v->superview())
    if (auto* found = dynamic_cast<T*>(v)) return found;
  return nullptr;
}

template <typename T>
T* enclosingOrSelf(UIView& view) {
  if (auto* found = dynamic_cast<T*>(&view)) return found;
  return enclosing<T>(view);
}

// A point of the window in the view's bounds.
CGPoint inView(const UIView& view, CGPoint at) {
  CGPoint origin = ViewRenderer::originInWindow(view);
  return {at.x - origin.x + view.bounds().origin.x, at.y - origin.y + view.bounds().origin.y};
}

// As long as a phone waits before a held row shows its menu.
constexpr double kMenuPressSeconds = 0.5;
// Notches this close together are one turn of the wheel.
constexpr double kWheelTurnSeconds = 0.3;
// A sideways wheel moves a row at this many notches (a touchpad's swipe gives fractions).
constexpr double kSidewaysNotches = 1;

UITouchSet touchOn(UIView* view) { return {UITouch{view, view->center(), Clock::now(), 1, 0, 0}}; }

}  // namespace

UIView* WindowInput::viewAt(CGPoint at) {
  UIWindow* key = UIWindow::keyWindow();
  return key ? key->hitTest(at) : nullptr;
}

void WindowInput::pointer(CGPoint at, bool buttonDown) {
  at_ = at;
  if (buttonDown && !down_) return press(at);
  if (buttonDown && down_) return move(at);
  if (!buttonDown && down_) release(at);
}

void WindowInput::press(CGPoint at) {
  down_ = true;
  dragging_ = false;
  drag_ = Drag::None;
  menuShown_ = false;
  pressedAt_ = at;
  stopDeceleration();  // a press catches a list still moving
  moves_.clear();
  moves_.push_back({Clock::now(), at.y});
  UIView* hit = viewAt(at);
  // What a row shows for a gesture goes at a press anywhere else, which does nothing more.
  swallowed_ = closeRowActions(hit);
  if (swallowed_) return;
  UIScrollView* scrollView = scrollViewAt(at);
  dragged_ = scrollView ? std::dynamic_pointer_cast<UIScrollView>(scrollView->weak_from_this().lock()) : nullptr;
  offsetAtPress_ = scrollView ? scrollView->contentOffset() : CGPoint{};
  UIPickerView* picker = hit ? enclosingOrSelf<UIPickerView>(*hit) : nullptr;
  pressedPicker_ = picker ? std::dynamic_pointer_cast<UIPickerView>(picker->weak_from_this().lock()) : nullptr;
  if (picker) {
    pickerComponent_ = picker->componentAtX(inView(*picker, at).x);
    pickerRowAtPress_ = picker->selectedRowInComponent(pickerComponent_);
  }
  pressedTable_.reset();
  if (UITableViewCell* cell = hit && !picker ? enclosingOrSelf<UITableViewCell>(*hit) : nullptr)
    if (UITableView* table = enclosing<UITableView>(*cell))
      if (auto path = table->indexPathForCell(cell)) {
        pressedTable_ = std::dynamic_pointer_cast<UITableView>(table->weak_from_this().lock());
        pressedRow_ = *path;
      }
  // The long-press recognizers start timing now, on the main loop's clock, so that a
  // press held past their duration begins their gesture while the button is still down.
  pressing_.clear();
  for (UIView* v = hit; v; v = v->superview())
    for (auto& r : v->gestureRecognizers())
      if (r->isEnabled() && dynamic_cast<UILongPressGestureRecognizer*>(r.get())) {
        r->touchesBegan(touchOn(hit));
        pressing_.push_back(r);
      }
  // A row held as long shows its edit menu, where no recognizer takes the press.
  auto table = pressedTable_.lock();
  if (table && pressing_.empty() && !table->menuActionsForRow(pressedRow_).empty())
    menuTimer_ = RunLoop::main().addTimer(kMenuPressSeconds, [this] {
      menuTimer_ = 0;
      auto held = pressedTable_.lock();
      if (!held || !down_ || dragging_ || !held->showMenuForRowByUser(pressedRow_)) return;
      menuShown_ = true;
      showingActions_ = held;
    });
}

void WindowInput::move(CGPoint at) {
  double now = Clock::now();
  moves_.push_back({now, at.y});
  while (moves_.size() > 2 && now - moves_.front().first > velocityWindow) moves_.erase(moves_.begin());
  if (swallowed_ || menuShown_) return;
  double dx = at.x - pressedAt_.x, dy = at.y - pressedAt_.y;
  if (!dragging_ && std::hypot(dx, dy) >= dragSlop) {
    dragging_ = true;
    endPress();  // a drag is no long press
    // Sideways over a row it slides the row; over a wheel it turns it; else it scrolls.
    auto table = pressedTable_.lock();
    drag_ = pressedPicker_.lock() ? Drag::Picker
            : table && std::abs(dx) > std::abs(dy) && table->slideRowByUser(pressedRow_, dx) ? Drag::Row
                                                                                               : Drag::Scroll;
    if (drag_ == Drag::Row) showingActions_ = table;
  }
  if (drag_ == Drag::Row) {
    if (auto table = pressedTable_.lock()) table->slideRowByUser(pressedRow_, dx);
  } else if (drag_ == Drag::Picker) {
    if (auto picker = pressedPicker_.lock()) {
      long rows = std::lround(-dy / picker->rowHeightForComponent(pickerComponent_));
      picker->turnByUser(pickerRowAtPress_ + rows - picker->selectedRowInComponent(pickerComponent_), pickerComponent_);
      lastPicker_ = picker;
    }
  } else if (auto scrollView = dragged_.lock(); drag_ == Drag::Scroll && scrollView) {
    scrollTo(*scrollView, offsetAtPress_.y - dy);
  }
}

void WindowInput::release(CGPoint at) {
  down_ = false;
  cancelMenuTimer();
  if (swallowed_) {
    swallowed_ = false;
    return;
  }
  bool pressed = menuShown_ || std::any_of(pressing_.begin(), pressing_.end(), [](const auto& weak) {
                   auto r = weak.lock();
                   return r && r->hasClaimedTouch();
                 });
  endPress();
  if (drag_ == Drag::Row) {
    if (auto table = pressedTable_.lock()) table->endSlideByUser();
  } else if (!dragging_ && !pressed) {
    click(at);
  } else if (drag_ == Drag::Scroll) {
    decelerate(at.y);
  }
  dragged_.reset();
}

bool WindowInput::closeRowActions(UIView* hit) {
  auto table = showingActions_.lock();
  showingActions_.reset();
  UIView* shown = table ? table->rowActionsView() : nullptr;
  if (!shown) return false;
  for (UIView* v = hit; v; v = v->superview())
    if (v == shown) {
      showingActions_ = table;  // a click on one of its buttons
      return false;
    }
  table->hideMenu();
  table->closeSwipeActions(true);
  return true;
}

void WindowInput::cancelMenuTimer() {
  if (menuTimer_) RunLoop::main().cancelTimer(menuTimer_);
  menuTimer_ = 0;
}

WindowInput::~WindowInput() {
  stopDeceleration();
  cancelMenuTimer();
}

void WindowInput::decelerate(double releasedAtY) {
  auto scrollView = dragged_.lock();
  if (!scrollView || moves_.empty()) return;
  double now = Clock::now();
  // Moves older than the window say nothing of how fast the pointer let go.
  while (!moves_.empty() && now - moves_.front().first > velocityWindow) moves_.erase(moves_.begin());
  if (moves_.empty()) return;
  double elapsed = now - moves_.front().first;
  if (elapsed <= 0) return;
  double speed = -(releasedAtY - moves_.front().second) / elapsed;  // the content moves against the pointer
  if (std::fabs(speed) < stoppedSpeed) return;
  std::weak_ptr<UIScrollView> weak = scrollView;
  auto last = std::make_shared<double>(now);
  auto velocity = std::make_shared<double>(speed);
  decelerating_ = RunLoop::main().addTimer(
      frameSeconds,
      [this, weak, last, velocity] {
        auto view = weak.lock();
        double at = Clock::now(), dt = at - *last;
        *last = at;
        if (!view) return stopDeceleration();
        bool stopped = scrollTo(*view, view->contentOffset().y + *velocity * dt);
        *velocity *= std::pow(decelerationPerSecond, dt);
        if (stopped || std::fabs(*velocity) < stoppedSpeed) stopDeceleration();
      },
      frameSeconds);
}

void WindowInput::stopDeceleration() {
  if (decelerating_) RunLoop::main().cancelTimer(decelerating_);
  decelerating_ = 0;
}

void WindowInput::endPress() {
  // A recognizer whose view went away while the button was down (the press opened a
  // screen, the list reloaded) hears nothing more.
  for (const auto& weak : pressing_)
    if (auto r = weak.lock(); r && r->view()) r->touchesEnded(touchOn(r->view()));
  pressing_.clear();
}

void WindowInput::wheel(double notches) {
  // A list that moves puts back what its rows show, as a phone's does.
  if (auto table = showingActions_.lock()) {
    table->hideMenu();
    table->closeSwipeActions(true);
  }
  showingActions_.reset();
  // The notches of one turn, the pointer still, go where its first went: a list scrolled
  // until a picker's wheel comes under the pointer goes on scrolling, and the wheel
  // turned goes on turning.
  double now = Clock::now();
  bool sameTurn = now - lastWheel_.at < kWheelTurnSeconds &&
                  std::hypot(at_.x - lastWheel_.point.x, at_.y - lastWheel_.point.y) < dragSlop;
  std::shared_ptr<UIPickerView> picker = lastWheel_.picker.lock();
  if (!sameTurn) {
    UIView* hit = viewAt(at_);
    UIPickerView* under = hit ? enclosingOrSelf<UIPickerView>(*hit) : nullptr;
    picker = under ? std::dynamic_pointer_cast<UIPickerView>(under->weak_from_this().lock()) : nullptr;
  }
  lastWheel_ = {now, at_, picker};
  if (picker) {
    // A notch a row; turned away from the person, the wheel shows the rows before.
    picker->turnByUser(-std::lround(notches), picker->componentAtX(inView(*picker, at_).x));
    lastPicker_ = picker;
    return;
  }
  if (UIScrollView* scrollView = scrollViewAt(at_, -notches))
    scrollTo(*scrollView, scrollView->contentOffset().y - notches * 40);
}

void WindowInput::wheelSideways(double notches) {
  sideways_ += notches;
  if (std::abs(sideways_) < kSidewaysNotches) return;
  bool towardsRight = sideways_ > 0;
  sideways_ = 0;
  UIView* hit = viewAt(at_);
  UITableViewCell* cell = hit ? enclosingOrSelf<UITableViewCell>(*hit) : nullptr;
  UITableView* table = cell ? enclosing<UITableView>(*cell) : nullptr;
  auto path = table ? table->indexPathForCell(cell) : std::nullopt;
  auto shown = showingActions_.lock();
  if (shown && shown.get() != table) {
    shown->hideMenu();
    shown->closeSwipeActions(true);
  }
  if (!path) return;
  table->hideMenu();
  // Content moving right uncovers the actions at the row's right; the other way puts
  // them back, or uncovers those at its left.
  bool slid = table->slidRow() == path;
  bool leadingShown = slid && table->slidRowShift() > 0, trailingShown = slid && table->slidRowShift() < 0;
  if ((towardsRight && leadingShown) || (!towardsRight && trailingShown)) {
    table->closeSwipeActions(true);
  } else if (!(towardsRight ? trailingShown : leadingShown) && table->openSwipeActionsByUser(*path, !towardsRight)) {
    showingActions_ = std::dynamic_pointer_cast<UITableView>(table->weak_from_this().lock());
  }
}

bool WindowInput::turnPicker(long rows) {
  auto picker = lastPicker_.lock();
  if (!picker || !picker->isVisibleInWindow()) {
    UIPickerView* shown = UIInteractionSupport::firstOf<UIPickerView>();
    picker = shown ? std::dynamic_pointer_cast<UIPickerView>(shown->weak_from_this().lock()) : nullptr;
  }
  if (!picker) return false;
  lastPicker_ = picker;
  return picker->turnByUser(rows);
}

void WindowInput::click(CGPoint at) {
  UIView* hit = viewAt(at);
  if (!hit) return;
  CGPoint origin = ViewRenderer::originInWindow(*hit);
  // An alert's actions are no views: a click on one's place in the card chooses it; the
  // alert takes every other click but its fields'.
  for (UIView* v = hit; v; v = v->superview())
    if (const UIAlertController* alert = ModalDrawing::alertOf(*v)) {
      CGPoint inAlert{at.x - ViewRenderer::originInWindow(*v).x + v->bounds().origin.x,
                      at.y - ViewRenderer::originInWindow(*v).y + v->bounds().origin.y};
      UIAlertCardLayout layout = alert->cardLayout();
      for (size_t i = 0; i < layout.buttons.size() && i < alert->actions().size(); ++i)
        if (layout.buttons[i].contains(inAlert)) {
          (void)const_cast<UIAlertController*>(alert)->chooseActionByUser(alert->actions()[i]->title());
          return;
        }
      if (v == hit) return;
      break;
    }
  // A row of a wheel above or below the chosen one turns the wheel to it; the chosen one
  // stays.
  if (UIPickerView* picker = enclosingOrSelf<UIPickerView>(*hit)) {
    picker->tapByUser(inView(*picker, at));
    lastPicker_ = std::dynamic_pointer_cast<UIPickerView>(picker->weak_from_this().lock());
    return;
  }
  // The bars keep their items outside their views: a tab by its place, the back button
  // at the left of a navigation bar.
  if (auto* tabs = dynamic_cast<UITabBar*>(hit); tabs && !tabs->items().empty()) {
    size_t index = size_t((at.x - origin.x) / (tabs->frame().size.width / double(tabs->items().size())));
    (void)UIInteraction::tab(std::to_string(std::min(index, tabs->items().size() - 1) + 1));
    return;
  }
  if (auto* bar = dynamic_cast<UINavigationBar*>(hit)) {
    CGPoint inBar{at.x - origin.x, at.y - origin.y};
    for (const auto& place : BarDrawing::itemPlaces(*bar))
      if (place.rect.contains(inBar)) {
        if (place.item) (void)place.item->tapByUser();
        else (void)UIInteraction::back();
        return;
      }
    return;
  }
  // The controls a click acts on by where it lands: a search bar's field or its Cancel, a
  // switch, a segment.
  for (UIView* v = hit; v; v = v->superview())
    if (auto* search = dynamic_cast<UISearchBar*>(v)) {
      CGPoint inBar{at.x - ViewRenderer::originInWindow(*v).x, at.y - ViewRenderer::originInWindow(*v).y};
      if (search->cancelButtonRect().contains(inBar)) search->cancelByUser();
      else (void)search->tapByUser();
      return;
    }
  if (auto* toggle = dynamic_cast<UISwitch*>(hit)) {
    toggle->toggleByUser();
    return;
  }
  if (auto* segments = dynamic_cast<UISegmentedControl*>(hit); segments && segments->numberOfSegments() > 0) {
    if (!segments->isEnabled()) return;
    double width = segments->frame().size.width / double(segments->numberOfSegments());
    size_t index = size_t(std::max(0.0, at.x - origin.x) / width);
    segments->selectByUser(long(std::min(index, segments->numberOfSegments() - 1)));
    return;
  }
  // The innermost view that answers the tap: a control, a recognizer's view, a cell
  // (its row selected as a person's tap selects it); else the touch goes to the view hit.
  for (UIView* v = hit; v; v = v->superview()) {
    if (dynamic_cast<UIControl*>(v) || !v->gestureRecognizers().empty()) {
      (void)UIInteraction::tapView(v);
      return;
    }
    if (auto* cell = dynamic_cast<UITableViewCell*>(v))
      if (auto* table = enclosing<UITableView>(*cell))
        if (auto path = table->indexPathForCell(cell)) {
          table->selectRowByUser(*path);
          return;
        }
    if (auto* cell = dynamic_cast<UICollectionViewCell*>(v))
      if (auto* collection = enclosing<UICollectionView>(*cell))
        if (auto path = collection->indexPathForCell(cell)) {
          collection->selectItemByUser(*path);
          return;
        }
  }
  (void)UIInteraction::tapView(hit);
}
