#include "render/WindowReport.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "foundation/Files.h"
#include "render/BarDrawing.h"
#include "render/ModalDrawing.h"
#include "render/ViewRenderer.h"
#include "render/WindowInput.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UIInteraction.h"
#include "uikit/UINavigationBar.h"
#include "uikit/UIPickerView.h"
#include "uikit/UISearchBar.h"
#include "uikit/UISegmentedControl.h"
#include "uikit/UISwitch.h"
#include "uikit/UITabBar.h"
#include "uikit/UIView.h"
#include "uikit/UIWindow.h"

namespace WindowReport {
namespace {
bool within(const UIView* inner, const UIView* outer) {
  for (const UIView* v = inner; v; v = v->superview())
    if (v == outer) return true;
  return false;
}

CGPoint centre(CGRect r) { return {r.origin.x + r.size.width / 2, r.origin.y + r.size.height / 2}; }

void line(std::string& out, CGRect r, const std::string& text) {
  char numbers[96];
  std::snprintf(numbers, sizeof numbers, "place %.0f %.0f %.0f %.0f ", std::round(r.origin.x), std::round(r.origin.y),
                std::round(r.size.width), std::round(r.size.height));
  out += numbers + text + "\n";
}

// A place the bars or an alert keep for something that is no view, reported when a
// click there reaches the view that keeps it.
void placeIn(const UIView& keeper, CGRect inKeeper, const std::string& text, std::string& out) {
  CGPoint origin = ViewRenderer::originInWindow(keeper);
  CGRect inWindow{{origin.x + inKeeper.origin.x, origin.y + inKeeper.origin.y}, inKeeper.size};
  if (WindowInput::viewAt(centre(inWindow)) == &keeper) line(out, inWindow, text);
}

// The bars' items and an alert's actions (none of them views), as the window places them.
void withoutViews(UIView& view, std::string& out) {
  if (view.isHidden()) return;
  if (auto* tabs = dynamic_cast<UITabBar*>(&view); tabs && !tabs->items().empty()) {
    double width = tabs->frame().size.width / double(tabs->items().size());
    for (size_t i = 0; i < tabs->items().size(); ++i)
      placeIn(view, {{width * double(i), 0}, {width, tabs->frame().size.height}}, tabs->items()[i]->title(), out);
  } else if (auto* bar = dynamic_cast<UINavigationBar*>(&view)) {
    for (const auto& place : BarDrawing::itemPlaces(*bar))
      placeIn(view, place.rect, place.item ? place.item->displayTitle() : "<", out);
  } else if (auto* search = dynamic_cast<UISearchBar*>(&view); search && search->showsCancelButton()) {
    placeIn(view, search->cancelButtonRect(), "Cancel", out);
  } else if (auto* toggle = dynamic_cast<UISwitch*>(&view)) {
    std::string name = toggle->accessibilityLabel();
    placeIn(view, {{0, 0}, view.frame().size}, "switch " + (name.empty() ? toggle->screenLabel() : name), out);
  } else if (auto* segments = dynamic_cast<UISegmentedControl*>(&view); segments && segments->numberOfSegments() > 0) {
    double width = view.frame().size.width / double(segments->numberOfSegments());
    for (size_t i = 0; i < segments->numberOfSegments(); ++i)
      placeIn(view, {{width * double(i), 0}, {width, view.frame().size.height}}, segments->titleForSegmentAtIndex(i), out);
  } else if (auto* picker = dynamic_cast<UIPickerView*>(&view)) {
    // The rows of its wheel that show whole: a click on one turns the wheel to it.
    for (long component = 0; component < picker->numberOfComponents(); ++component)
      for (long row = 0; row < picker->numberOfRowsInComponent(component); ++row) {
        CGRect r = picker->rectForRow(row, component);
        if (r.minY() >= 0 && r.maxY() <= view.bounds().height()) placeIn(view, r, picker->titleForRow(row, component), out);
      }
  } else if (const UIAlertController* alert = ModalDrawing::alertOf(view)) {
    UIAlertCardLayout layout = alert->cardLayout();
    for (size_t i = 0; i < layout.buttons.size() && i < alert->actions().size(); ++i) {
      CGRect r = layout.buttons[i];
      r.origin.x -= view.bounds().origin.x;
      r.origin.y -= view.bounds().origin.y;
      placeIn(view, r, alert->actions()[i]->title(), out);
    }
  }
  for (auto& sub : view.subviews()) withoutViews(*sub, out);
}
}  // namespace

std::string describe() {
  std::string out;
  UIWindow* key = UIWindow::keyWindow();
  if (!key) return "screen\n(no window)\n";
  for (const auto& named : UIInteraction::tappableViews()) {
    CGRect inWindow{ViewRenderer::originInWindow(*named.view), named.view->frame().size};
    if (within(WindowInput::viewAt(centre(inWindow)), named.view)) line(out, inWindow, named.text);
  }
  withoutViews(*key, out);
  if (UIView::isAnimationPlaying()) out += "moving\n";
  return out + "screen\n" + UIInteraction::screen();
}

void writeIfAsked() {
  static const char* path = std::getenv("QB_WINDOW_REPORT");
  static std::string written;
  if (!path || !*path) return;
  std::string report = describe();
  if (report != written && Files::writeAtomically(path, report)) written = std::move(report);
}
}  // namespace WindowReport
