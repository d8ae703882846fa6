#include "uikit/UIInteraction.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <vector>

#include "foundation/Clock.h"
#include "foundation/RunLoop.h"
#include "uikit/UIActivityViewController.h"
#include "uikit/UIAlertController.h"
#include "uikit/UIButton.h"
#include "uikit/UICollectionView.h"
#include "uikit/UIGestureRecognizer.h"
#include "uikit/UIInteractionSupport.h"
#include "uikit/UILongPressGestureRecognizer.h"
#include "uikit/UINavigationController.h"
#include "uikit/UISearchBar.h"
#include "uikit/UISegmentedControl.h"
#include "uikit/UISwipeGestureRecognizer.h"
#include "uikit/UITabBarController.h"
#include "uikit/UITextField.h"
#include "uikit/UITextView.h"
#include "uikit/UITableView.h"
#include "uikit/UIWindow.h"

using namespace UIInteractionSupport;

namespace {
UINavigationController* frontNavigation() {
  UIViewController* f = UIInteraction::front();
  return f ? f->navigationController() : nullptr;
}

std::string labelText(UIView* view) {
  std::vector<std::string> lines;
  if (!view->appendScreenText(lines))
    for (auto& sub : view->subviews())
      if (!sub->isHidden()) sub->appendScreenText(lines);
  std::string out;
  for (auto& l : lines) out += (out.empty() ? "" : " ") + l;
  return out;
}

bool hasRecognizer(UIView* view) {
  for (UIView* v = view; v; v = v->superview())
    if (!v->gestureRecognizers().empty()) return true;
  return false;
}

// Touch delivery: recognizers on the view and its ancestors (only the control's own for
// a control), then the control events or the responder chain's touches.
UIInteractionResult touch(UIView* view, double seconds) {
  if (!view) return UIInteractionResult::failure("nothing to touch");
  std::vector<UIGestureRecognizer*> recognizers;
  auto* control = dynamic_cast<UIControl*>(view);
  for (UIView* v = view; v; v = v->superview()) {
    for (auto& r : v->gestureRecognizers())
      if (r->isEnabled()) recognizers.push_back(r.get());
    if (control) break;
  }
  if (control && !control->isEnabled())
    return UIInteractionResult::failure(control->accessibilityValue().empty() ? "it is disabled"
                                                                             : "it is disabled: " + control->accessibilityValue());
  UITouchSet touches{UITouch{view, view->center(), Clock::now(), 1, 0, 0}};
  for (auto* r : recognizers) r->touchesBegan(touches);
  if (control) {
    control->setHighlighted(true);
    control->sendActionsForControlEvents(UIControlEventTouchDown);
  } else {
    view->touchesBegan(touches);
  }
  if (seconds > 0) UIInteraction::advance(seconds);
  bool claimed = std::any_of(recognizers.begin(), recognizers.end(),
                             [](UIGestureRecognizer* r) { return r->hasClaimedTouch() && r->cancelsTouchesInView(); });
  for (auto* r : recognizers) r->touchesEnded(touches);
  if (control) {
    control->setHighlighted(false);
    control->sendActionsForControlEvents(claimed ? UIControlEventTouchCancel
                                                 : UIControlEventTouchUpInside | UIControlEventPrimaryActionTriggered);
  } else if (claimed) {
    view->touchesCancelled(touches);
  } else {
    view->touchesEnded(touches);
  }
  return UIInteractionResult::success();
}

struct Tappable {
  std::string text;
  std::function<UIInteractionResult()> run;
  UIView* view = nullptr;
  bool pressOnly = false;  // only a long press does anything to it
};

// A touch of the view reaches a long-press recognizer and nothing else that answers a
// tap: such a view is held, not tapped.
bool answersOnlyLongPress(UIView* view) {
  bool pressed = false;
  for (UIView* v = view; v; v = v->superview())
    for (auto& r : v->gestureRecognizers()) {
      if (!r->isEnabled() || dynamic_cast<UISwipeGestureRecognizer*>(r.get())) continue;
      if (!dynamic_cast<UILongPressGestureRecognizer*>(r.get())) return false;
      pressed = true;
    }
  return pressed;
}

std::vector<Tappable> tappables() {
  std::vector<Tappable> out;
  if (auto* alert = dynamic_cast<UIAlertController*>(UIInteraction::front())) {
    for (auto& a : alert->actions()) {
      std::string title = a->title();
      out.push_back({title, [title] { return UIInteraction::chooseAlertAction(title); }});
    }
    return out;
  }
  if (dynamic_cast<UIActivityViewController*>(UIInteraction::front())) {
    out.push_back({"Close", [] { return UIInteraction::close(); }});
  }
  if (auto* nav = frontNavigation()) {
    auto* top = nav->topViewController();
    if (nav->viewControllers().size() > 1 && !top->navigationItem().hidesBackButton())
      out.push_back({"<", [] { return UIInteraction::back(); }});
    for (auto* items : {&top->navigationItem().leftBarButtonItems(), &top->navigationItem().rightBarButtonItems()})
      for (auto& item : *items) {
        if (item->isSpace()) continue;
        auto keep = item;
        out.push_back({item->displayTitle(), [keep] {
                         return keep->tapByUser() ? UIInteractionResult::success()
                                                  : UIInteractionResult::failure("that bar button is disabled");
                       }});
      }
  }
  for (UIView* v : frontViews()) {
    for (auto& target : v->tapTargets()) {
      auto tap = target.tap;
      out.push_back({target.text, [tap] {
                       return tap() ? UIInteractionResult::success() : UIInteractionResult::failure("nothing happened");
                     }});
    }
    if (auto* b = dynamic_cast<UIButton*>(v)) {
      std::string t = b->currentTitle();
      if (t.empty()) t = b->accessibilityLabel();
      if (t.empty() && b->currentImage()) t = b->currentImage()->name();
      out.push_back({t, [b] { return touch(b, 0); }, b});
    } else if (auto* field = dynamic_cast<UITextField*>(v); field && !dynamic_cast<UISearchBar*>(v->superview())) {
      // A field is tapped to type into it: named by its placeholder.
      std::string hint = field->placeholder().empty() ? field->accessibilityLabel() : field->placeholder();
      if (!hint.empty())
        out.push_back({hint, [field] {
                         return field->becomeFirstResponder() ? UIInteractionResult::success()
                                                              : UIInteractionResult::failure("the field does not take text");
                       }, field});
    } else if (auto* text = dynamic_cast<UITextView*>(v); text && text->isEditable()) {
      // An editable text view likewise, named by its accessibility label.
      if (!text->accessibilityLabel().empty())
        out.push_back({text->accessibilityLabel(), [text] {
                         return text->becomeFirstResponder() ? UIInteractionResult::success()
                                                             : UIInteractionResult::failure("the text view does not take text");
                       }, text});
    } else if (auto* bar = dynamic_cast<UISearchBar*>(v)) {
      out.push_back({bar->placeholder().empty() ? "Search" : bar->placeholder(),
                     [bar] {
                       return bar->tapByUser() ? UIInteractionResult::success()
                                               : UIInteractionResult::failure("the search bar does not start editing");
                     },
                     bar});
      if (bar->showsCancelButton())
        out.push_back({"Cancel", [bar] {
                         bar->cancelByUser();
                         return UIInteractionResult::success();
                       }});
    } else if (auto* seg = dynamic_cast<UISegmentedControl*>(v)) {
      for (size_t i = 0; i < seg->numberOfSegments(); ++i)
        out.push_back({seg->titleForSegmentAtIndex(i), [seg, i] {
                         seg->selectByUser(long(i));
                         return UIInteractionResult::success();
                       }});
    } else if (auto* table = dynamic_cast<UITableView*>(v)) {
      for (auto& path : table->indexPathsForVisibleRows()) {
        auto cell = table->cellForRowAtIndexPath(path);
        std::string text, detail, accessory;
        cell->screenRowParts(text, detail, accessory);
        out.push_back({text, [table, path] {
                         return table->selectRowByUser(path) ? UIInteractionResult::success()
                                                             : UIInteractionResult::failure("the row cannot be selected");
                       }, cell.get()});
      }
    } else if (auto* collection = dynamic_cast<UICollectionView*>(v)) {
      for (auto& path : collection->indexPathsForVisibleItems()) {
        auto cell = collection->cellForItemAtIndexPath(path);
        out.push_back({cell->screenItemText(), [collection, path] {
                         collection->selectItemByUser(path);
                         return UIInteractionResult::success();
                       }, cell.get()});
      }
    } else if ((!v->gestureRecognizers().empty() && !dynamic_cast<UIControl*>(v)) ||
               (dynamic_cast<UILabel*>(v) && hasRecognizer(v))) {
      out.push_back({labelText(v), [v] { return touch(v, 0); }, v, answersOnlyLongPress(v)});
    }
  }
  // The tab bar's items come last, so the screen's own texts win.
  if (UIWindow* w = UIInteraction::window(); w && !w->rootViewController()->presentedViewController())
    if (auto* tabs = dynamic_cast<UITabBarController*>(w->rootViewController()))
      for (auto& item : tabs->tabBar()->items()) {
        std::string title = item->title();
        if (!title.empty()) out.push_back({title, [title] { return UIInteraction::tab(title); }});
      }
  return out;
}

UIInteractionResult tapRowPath(const NSIndexPath& printed) {
  NSIndexPath path;
  if (auto* table = tableForPrintedPath(printed, path))
    return table->selectRowByUser(path) ? UIInteractionResult::success()
                                        : UIInteractionResult::failure("no row " + printed.description());
  path = printed;
  if (auto* collection = firstOf<UICollectionView>())
    return collection->selectItemByUser(path) ? UIInteractionResult::success()
                                              : UIInteractionResult::failure("no item " + path.description());
  return UIInteractionResult::failure("there is no table on this screen");
}

bool isNumber(const std::string& target) {
  return target.size() > 1 && target[0] == '#' &&
         std::all_of(target.begin() + 1, target.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

const Tappable* find(const std::vector<Tappable>& items, const std::string& target) {
  if (isNumber(target)) {
    size_t n = target.size() < 8 ? size_t(std::atol(target.c_str() + 1)) : 0;
    return n >= 1 && n <= items.size() ? &items[n - 1] : nullptr;
  }
  for (auto& i : items)
    if (i.text == target) return &i;
  for (auto& i : items)
    if (sameText(i.text, target)) return &i;
  for (auto& i : items)
    if (!target.empty() && lower(i.text).find(lower(target)) != std::string::npos) return &i;
  return nullptr;
}
}  // namespace

UIWindow* UIInteraction::window() { return UIWindow::keyWindow(); }

UIViewController* UIInteraction::front() {
  UIWindow* w = window();
  return w ? w->frontViewController() : nullptr;
}

std::string UIInteraction::screen(bool verbose) {
  UIWindow* w = window();
  return w ? w->screenText(verbose) : "(no window)\n";
}

std::vector<std::string> UIInteraction::tappableTexts() {
  std::vector<std::string> texts;
  for (auto& t : tappables())
    if (!t.pressOnly) texts.push_back(t.text);
  return texts;
}

std::vector<std::string> UIInteraction::pressableTexts() {
  std::vector<std::string> texts;
  for (auto& t : tappables())
    if (t.view) texts.push_back(t.text);
  return texts;
}

std::vector<UIInteraction::NamedView> UIInteraction::tappableViews() {
  std::vector<NamedView> views;
  for (auto& t : tappables())
    if (t.view && !t.pressOnly) views.push_back({t.text, t.view});
  // A view that offers its own texts to tap (the floating card's titles) is reached by a
  // click anywhere on it when a recognizer of its own listens.
  for (UIView* v : frontViews())
    if (!v->gestureRecognizers().empty())
      for (auto& target : v->tapTargets()) views.push_back({target.text, v});
  return views;
}

std::string UIInteraction::numberedTappables() {
  auto texts = tappableTexts();
  if (texts.empty()) return "nothing on this screen can be tapped";
  return "what can be tapped: " + numbered(texts);
}

UIInteractionResult UIInteraction::tap(const std::string& target) {
  if (!front()) return UIInteractionResult::failure("nothing is on screen");
  NSIndexPath path;
  // "1.0" is a row where rows are; elsewhere it is a title (a version's button).
  if (parsePath(target, path) && (firstOf<UITableView>() || firstOf<UICollectionView>())) return tapRowPath(path);
  auto items = tappables();
  std::vector<Tappable> tappable;
  for (auto& t : items)
    if (!t.pressOnly) tappable.push_back(t);
  if (const Tappable* t = find(tappable, target)) return t->run();
  if (isNumber(target)) return UIInteractionResult::failure("there is no " + target + "; " + numberedTappables());
  if (const Tappable* t = find(items, target))
    return UIInteractionResult::failure("\"" + t->text + "\" answers a long press, not a tap (long " + target + ")");
  return UIInteractionResult::failure("nothing to tap named \"" + target + "\"");
}

UIInteractionResult UIInteraction::tapView(UIView* view) { return touch(view, 0); }

UIInteractionResult UIInteraction::longPressView(UIView* view, double seconds) { return touch(view, seconds); }

UIInteractionResult UIInteraction::longPress(const std::string& target, double seconds) {
  NSIndexPath path;
  if (NSIndexPath printed; parsePath(target, printed)) {
    auto* table = tableForPrintedPath(printed, path);
    auto cell = table ? table->cellForRowAtIndexPath(path) : nullptr;
    if (!cell) return UIInteractionResult::failure("no row " + target);
    return touch(cell.get(), seconds);
  }
  auto items = tappables();
  const Tappable* t = find(items, target);
  if (!t || !t->view) {
    // Labels without recognizers of their own can still be pressed (their ancestors may listen).
    for (UIView* v : frontViews())
      if (auto* l = dynamic_cast<UILabel*>(v); l && sameText(l->text(), target)) return touch(l, seconds);
    return UIInteractionResult::failure("nothing to press named \"" + target + "\"");
  }
  return touch(t->view, seconds);
}

UIInteractionResult UIInteraction::back() {
  UIViewController* f = front();
  if (!f) return UIInteractionResult::failure("nothing is on screen");
  if (dynamic_cast<UIAlertController*>(f) || dynamic_cast<UIActivityViewController*>(f)) return close();
  if (auto* nav = f->navigationController(); nav && nav->popByUser()) return UIInteractionResult::success();
  if (f->presentingViewController()) return UIInteractionResult::failure("there is no way back from here (close closes this screen)");
  return UIInteractionResult::failure("there is no way back from here");
}

UIInteractionResult UIInteraction::close() {
  UIViewController* f = front();
  if (!f) return UIInteractionResult::failure("nothing is on screen");
  if (auto* alert = dynamic_cast<UIAlertController*>(f)) {
    for (auto& a : alert->actions())
      if (a->style() == UIAlertActionStyleCancel) return chooseAlertAction(a->title());
    if (alert->preferredStyle() == UIAlertControllerStyleActionSheet || alert->actions().empty()) {
      alert->dismissViewControllerAnimated(true);
      return UIInteractionResult::success();
    }
    return UIInteractionResult::failure("this alert has no cancel button");
  }
  if (auto* sheet = dynamic_cast<UIActivityViewController*>(f)) {
    sheet->cancelByUser();
    return UIInteractionResult::success();
  }
  auto items = tappables();
  for (const char* name : {"Close", "Done", "Cancel", "Dismiss", "OK"})
    for (auto& t : items)
      if (sameText(t.text, name)) return t.run();
  if (f->dismissInteractivelyByUser()) return UIInteractionResult::success();
  if (!f->presentingViewController())
    return UIInteractionResult::failure("nothing is shown over this screen, so there is nothing to close (back goes back)");
  return UIInteractionResult::failure("this screen cannot be closed");
}

UIInteractionResult UIInteraction::chooseAlertAction(const std::string& title) {
  auto* alert = dynamic_cast<UIAlertController*>(front());
  if (!alert) return UIInteractionResult::failure("no alert is shown");
  for (auto& a : alert->actions())
    if (sameText(a->title(), title)) {
      if (!alert->chooseActionByUser(a->title())) return UIInteractionResult::failure("that button is disabled");
      return UIInteractionResult::success();
    }
  return UIInteractionResult::failure("the alert has no \"" + title + "\"");
}

UIInteractionResult UIInteraction::tab(const std::string& which) {
  UIWindow* w = window();
  if (!w || !w->rootViewController()) return UIInteractionResult::failure("nothing is on screen");
  UITabBarController* tabs = nullptr;
  for (UIViewController* c = w->frontViewController(); c && !tabs; c = c->parentViewController())
    tabs = dynamic_cast<UITabBarController*>(c);
  if (!tabs) tabs = dynamic_cast<UITabBarController*>(w->rootViewController());
  if (!tabs) return UIInteractionResult::failure("there are no tabs");
  if (w->frontViewController() && w->rootViewController()->presentedViewController())
    return UIInteractionResult::failure("close the screen in front first");
  long index = -1;
  auto& items = tabs->tabBar()->items();
  for (size_t i = 0; i < items.size(); ++i)
    if (sameText(items[i]->title(), which)) index = long(i);
  if (index < 0 && !which.empty() && which.size() < 6 &&
      std::all_of(which.begin(), which.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
    index = std::stol(which) - 1;
  if (index < 0 || !tabs->selectTabByUser(index)) {
    std::vector<std::string> titles;
    for (auto& item : items) titles.push_back(item->title());
    return UIInteractionResult::failure("no tab \"" + which + "\"; the tabs are " + numbered(titles, ""));
  }
  return UIInteractionResult::success();
}

UIInteractionResult UIInteraction::rotate() {
  UIWindow* w = window();
  if (!w) return UIInteractionResult::failure("nothing is on screen");
  CGSize size = w->bounds().size;
  w->transitionToSize({size.height, size.width});
  return UIInteractionResult::success();
}

void UIInteraction::advance(double seconds) {
  if (Clock::isManual()) {
    RunLoop::main().advance(seconds);
    return;
  }
  double until = Clock::now() + seconds;
  RunLoop::main().runUntil([until] { return Clock::now() >= until; }, seconds + 1);
}

void UIInteraction::runUntilIdle() {
  RunLoop::main().runUntilIdle();
  if (UIWindow* w = window()) w->layoutIfNeeded();
}
