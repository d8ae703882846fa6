// The verbs on rows, switches, pickers, fields and scrolling.
#include "uikit/UIInteraction.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "uikit/UIInteractionSupport.h"
#include "uikit/UIPickerView.h"
#include "uikit/UISearchBar.h"
#include "uikit/UISwipeGestureRecognizer.h"
#include "uikit/UISwitch.h"
#include "uikit/UITableView.h"
#include "uikit/UITextView.h"
#include "uikit/UIWindow.h"

using namespace UIInteractionSupport;

UIInteractionResult UIInteraction::swipeRow(const std::string& row, const std::string& action) {
  UITableView* table = nullptr;
  NSIndexPath path;
  if (auto found = findRow(row, table, path); !found) return found;
  for (bool leading : {false, true}) {
    for (auto& a : table->swipeActionsForRow(path, leading)) {
      if (!sameText(a.title, action)) continue;
      a.perform();
      return UIInteractionResult::success();
    }
  }
  std::string offered;
  for (auto& a : table->swipeActionsForRow(path)) offered += " [" + a.title + "]";
  return UIInteractionResult::failure(rowAsGiven(row) + " offers no \"" + action + "\"" +
                                      (offered.empty() ? "" : "; it offers" + offered));
}

UIInteractionResult UIInteraction::swipe(const std::string& direction) {
  unsigned long d = 0;
  if (sameText(direction, "right")) d = UISwipeGestureRecognizerDirectionRight;
  else if (sameText(direction, "left")) d = UISwipeGestureRecognizerDirectionLeft;
  else if (sameText(direction, "up")) d = UISwipeGestureRecognizerDirectionUp;
  else if (sameText(direction, "down")) d = UISwipeGestureRecognizerDirectionDown;
  else return UIInteractionResult::failure("swipe left, right, up or down");
  auto views = frontViews();
  for (auto it = views.rbegin(); it != views.rend(); ++it)
    for (auto& r : (*it)->gestureRecognizers())
      if (auto* s = dynamic_cast<UISwipeGestureRecognizer*>(r.get()); s && s->isEnabled() && s->swipe(d))
        return UIInteractionResult::success();
  return UIInteractionResult::failure("nothing here answers a swipe " + lower(direction));
}

UIInteractionResult UIInteraction::menuRow(const std::string& row, const std::string& action) {
  UITableView* table = nullptr;
  NSIndexPath path;
  if (auto found = findRow(row, table, path); !found) return found;
  auto actions = table->menuActionsForRow(path);
  if (actions.empty()) return UIInteractionResult::failure(rowAsGiven(row) + " has no menu");
  std::string offered;
  for (auto& a : actions) {
    if (sameText(a.title, action)) {
      a.perform();
      return UIInteractionResult::success();
    }
    offered += " [" + a.title + "]";
  }
  return UIInteractionResult::failure(rowAsGiven(row) + "'s menu has no \"" + action + "\"; it offers" + offered);
}

bool UIInteraction::hasRow(const std::string& row) {
  UITableView* table = nullptr;
  NSIndexPath path;
  return bool(findRow(row, table, path));
}

UIInteractionResult UIInteraction::toggle(const std::string& target) {
  std::vector<UISwitch*> switches;
  std::vector<std::string> names;
  for (UIView* v : frontViews()) {
    if (auto* table = dynamic_cast<UITableView*>(v)) {
      for (auto& p : table->indexPathsForVisibleRows()) {
        auto cell = table->cellForRowAtIndexPath(p);
        auto* s = dynamic_cast<UISwitch*>(cell->accessoryView().get());
        if (!s) continue;
        std::string text, detail, accessory;
        cell->screenRowParts(text, detail, accessory);
        switches.push_back(s);
        names.push_back(text);
        if (p.description() == target) return s->toggleByUser(), UIInteractionResult::success();
      }
    } else if (auto* s = dynamic_cast<UISwitch*>(v)) {
      if (std::find(switches.begin(), switches.end(), s) != switches.end()) continue;
      switches.push_back(s);
      names.push_back(s->accessibilityLabel());
    }
  }
  UISwitch* chosen = nullptr;
  if (target.empty() && switches.size() == 1) chosen = switches.front();
  if (!chosen && target.size() > 1 && target[0] == '#') {
    size_t n = size_t(std::atol(target.c_str() + 1));
    if (n >= 1 && n <= switches.size()) chosen = switches[n - 1];
  }
  for (size_t i = 0; !chosen && i < switches.size(); ++i)
    if (sameText(names[i], target)) chosen = switches[i];
  if (switches.empty()) return UIInteractionResult::failure("there is no switch on this screen");
  if (!chosen && target.empty()) return UIInteractionResult::failure("say which switch: " + numbered(names));
  if (!chosen) return UIInteractionResult::failure("no switch \"" + target + "\"; " + numbered(names));
  if (!chosen->isEnabled()) return UIInteractionResult::failure("that switch is disabled");
  chosen->toggleByUser();
  return UIInteractionResult::success();
}

UIInteractionResult UIInteraction::pick(const std::string& choice, long component) {
  auto* picker = firstOf<UIPickerView>();
  if (!picker) return UIInteractionResult::failure("there is no picker on this screen");
  long rows = picker->numberOfRowsInComponent(component);
  for (long r = 0; r < rows; ++r)
    if (sameText(picker->titleForRow(r, component), choice)) return picker->pickByUser(r, component), UIInteractionResult::success();
  if (!choice.empty() && std::all_of(choice.begin(), choice.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
    long r = std::stol(choice);
    if (picker->pickByUser(r, component)) return UIInteractionResult::success();
  }
  return UIInteractionResult::failure("the picker has no \"" + choice + "\"");
}

UIView* UIInteraction::typingTarget(const std::string& field) {
  UIResponder* responder = UIResponder::currentFirstResponder();
  std::vector<UIView*> inputs;
  for (UIView* v : frontViews())
    if (dynamic_cast<UISearchBar*>(v) || (dynamic_cast<UITextField*>(v) && !dynamic_cast<UISearchBar*>(v->superview())) ||
        (dynamic_cast<UITextView*>(v) && static_cast<UITextView*>(v)->isEditable()))
      inputs.push_back(v);
  UIView* target = nullptr;
  if (!field.empty()) {
    for (UIView* v : inputs) {
      std::string hint = v->accessibilityLabel();
      if (auto* f = dynamic_cast<UITextField*>(v)) hint = f->placeholder();
      if (auto* s = dynamic_cast<UISearchBar*>(v)) hint = s->placeholder();
      if (sameText(hint, field) || (field[0] == '#' && std::atol(field.c_str() + 1) == long(&v - &inputs[0]) + 1)) target = v;
    }
    if (!target && field[0] == '#') {
      size_t n = size_t(std::atol(field.c_str() + 1));
      if (n >= 1 && n <= inputs.size()) target = inputs[n - 1];
    }
  }
  if (!target)
    for (UIView* v : inputs)
      if (v == responder || (dynamic_cast<UISearchBar*>(v) && static_cast<UISearchBar*>(v)->isEditing())) target = v;
  if (!target && field.empty() && !inputs.empty()) target = inputs.front();
  return target;
}

UIInteractionResult UIInteraction::type(const std::string& text, const std::string& field) {
  UIView* target = typingTarget(field);
  if (!target) return UIInteractionResult::failure(field.empty() ? "there is no text field" : "no field \"" + field + "\"");
  bool ok = false;
  if (auto* s = dynamic_cast<UISearchBar*>(target)) ok = s->typeByUser(text);
  else if (auto* f = dynamic_cast<UITextField*>(target)) ok = f->typeByUser(text);
  else if (auto* t = dynamic_cast<UITextView*>(target)) ok = t->typeByUser(text);
  return ok ? UIInteractionResult::success() : UIInteractionResult::failure("the field does not take the text");
}

UIInteractionResult UIInteraction::clear(const std::string& field) {
  UIView* target = typingTarget(field);
  if (!target) return UIInteractionResult::failure(field.empty() ? "there is no text field" : "no field \"" + field + "\"");
  bool ok = false;
  if (auto* s = dynamic_cast<UISearchBar*>(target)) ok = s->clearByUser();
  else if (auto* f = dynamic_cast<UITextField*>(target)) ok = f->text().empty() || (f->becomeFirstResponder() && f->clearByUser());
  else if (auto* t = dynamic_cast<UITextView*>(target)) ok = t->text().empty() || t->replaceByUser({0, t->attributedText().length()}, "");
  return ok ? UIInteractionResult::success() : UIInteractionResult::failure("the field does not let its text be cleared");
}

UIInteractionResult UIInteraction::eraseBackward() {
  UIView* target = typingTarget();
  std::string text;
  if (auto* s = dynamic_cast<UISearchBar*>(target)) text = s->text();
  else if (auto* f = dynamic_cast<UITextField*>(target)) text = f->text();
  else if (auto* t = dynamic_cast<UITextView*>(target)) text = t->text();
  else return UIInteractionResult::failure("there is no text field");
  if (text.empty()) return UIInteractionResult::success();
  size_t cut = text.size() - 1;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;  // a whole character
  UIInteractionResult cleared = clear();
  if (!cleared.ok || cut == 0) return cleared;
  return type(text.substr(0, cut));
}

UIInteractionResult UIInteraction::submit() {
  UIResponder* responder = UIResponder::currentFirstResponder();
  if (auto* f = dynamic_cast<UITextField*>(responder)) {
    if (auto* s = dynamic_cast<UISearchBar*>(f->superview())) s->searchByUser();
    else f->returnByUser();
    return UIInteractionResult::success();
  }
  if (auto* s = firstOf<UISearchBar>()) {
    s->searchByUser();
    return UIInteractionResult::success();
  }
  return UIInteractionResult::failure("nothing is being edited");
}

UIInteractionResult UIInteraction::scroll(const std::string& where) {
  if (where == "left" || where == "right") {
    // The first view that scrolls sideways: a page at a time when it pages.
    for (UIView* v : frontViews()) {
      auto* s = dynamic_cast<UIScrollView*>(v);
      if (!s || s->maximumContentOffset().x <= s->minimumContentOffset().x) continue;
      CGPoint offset = s->contentOffset();
      double width = s->bounds().width() > 0 ? s->bounds().width() : 320;
      offset.x += (where == "right" ? 1 : -1) * (s->isPagingEnabled() ? width : width * 0.8);
      s->scrollByUser(offset);
      return UIInteractionResult::success();
    }
    return UIInteractionResult::failure("nothing scrolls sideways on this screen");
  }
  // The extents of the content as it is laid out now, not as a pass still to come leaves it.
  if (UIWindow* w = window()) w->layoutIfNeeded();
  auto* table = firstOf<UITableView>();
  UIScrollView* scroller = table ? static_cast<UIScrollView*>(table) : firstOf<UIScrollView>();
  // A list that holds still inside a page that scrolls (a card of a few rows) is not what
  // a person scrolls: the first view that can move up and down is.
  if (scroller && (!scroller->isScrollEnabled() || scroller->maximumContentOffset().y <= scroller->minimumContentOffset().y))
    for (UIView* v : frontViews())
      if (auto* s = dynamic_cast<UIScrollView*>(v); s && s->isScrollEnabled() && s->maximumContentOffset().y > s->minimumContentOffset().y) {
        scroller = s;
        break;
      }
  if (!scroller) return UIInteractionResult::failure("nothing scrolls on this screen");
  CGPoint offset = scroller->contentOffset();
  // A page is most of what is seen of it, past the bars where they are kept clear of.
  UIEdgeInsets in = scroller->adjustedContentInset();
  double seen = scroller->bounds().height() - in.top - in.bottom;
  double page = seen > 0 ? seen * 0.8 : 500;
  NSIndexPath path;
  if (where == "down" || where.empty()) offset.y += page;
  else if (where == "up") offset.y -= page;
  else if (where == "top") offset.y = scroller->minimumContentOffset().y;
  else if (where == "bottom") offset.y = scroller->maximumContentOffset().y;
  else if (table && scroller == table && parsePath(where, path)) offset.y = table->rectForRowAtIndexPath(path).minY() - in.top;
  else return UIInteractionResult::failure("scroll down, up, left, right, top, bottom or to a row");
  scroller->scrollByUser(offset);
  return UIInteractionResult::success();
}

UIInteractionResult UIInteraction::pullToRefresh() {
  for (UIView* v : frontViews())
    if (auto* s = dynamic_cast<UIScrollView*>(v); s && s->refreshControl())
      return s->pullToRefreshByUser() ? UIInteractionResult::success() : UIInteractionResult::failure("already refreshing");
  return UIInteractionResult::failure("nothing here refreshes by pulling");
}
