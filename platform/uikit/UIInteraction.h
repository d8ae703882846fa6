#pragma once
// What a person does with the key window's screen, by the texts they read on it: tap a
// button, a bar button, a row, an alert action or a tab; long press; swipe a row's
// action or choose from its menu; toggle a switch; pick; type; scroll; go back; close;
// switch tab; turn the device; let time pass. The
// terminal driver and the tests share these verbs.
#include <string>
#include <vector>

class UIView;
class UIViewController;
class UIWindow;

struct UIInteractionResult {
  bool ok = false;
  std::string message;  // what went wrong, for a person
  explicit operator bool() const { return ok; }
  static UIInteractionResult success() { return {true, {}}; }
  static UIInteractionResult failure(std::string message) { return {false, std::move(message)}; }
};

class UIInteraction {
 public:
  static UIWindow* window();
  static UIViewController* front();
  // The screen as text (UIScreenText); `verbose` adds the screens' classes.
  static std::string screen(bool verbose = false);
  // The texts of what can be tapped on the front screen, in the order "#n" counts them.
  static std::vector<std::string> tappableTexts();
  // Those, and what only answers a long press.
  static std::vector<std::string> pressableTexts();
  // The tappable texts numbered as "#n" counts them, for a person who looks for one.
  static std::string numberedTappables();
  // Those of them that are views of their own (buttons, fields, rows, views with
  // recognizers; not bar buttons, tabs or alert actions), each with its text: where a
  // pointer finds them.
  struct NamedView {
    std::string text;
    UIView* view;
  };
  static std::vector<NamedView> tappableViews();

  // `target`: a text shown on screen (button title, bar button, row text, alert action,
  // segment), a row as "section.row", or "#n" for the n-th tappable item (from 1).
  static UIInteractionResult tap(const std::string& target);
  static UIInteractionResult tapView(UIView* view);
  static UIInteractionResult longPress(const std::string& target, double seconds = 1.0);
  static UIInteractionResult longPressView(UIView* view, double seconds = 1.0);
  // A row by "section.row" or its text; the action by its title.
  static UIInteractionResult swipeRow(const std::string& row, const std::string& action);
  // A swipe over the screen: "left", "right", "up" or "down"; the first swipe recognizer
  // of that direction on the front screen's views (the innermost first) takes it.
  static UIInteractionResult swipe(const std::string& direction);
  // An action of the row's edit menu (the long-press menu: Copy, ...).
  static UIInteractionResult menuRow(const std::string& row, const std::string& action);
  // Whether the front screen has the row, by "section.row" as printed or by its text.
  static bool hasRow(const std::string& row);
  static UIInteractionResult toggle(const std::string& target);
  static UIInteractionResult pick(const std::string& choice, long component = 0);
  // Types at the end of the field's text, as a keyboard does. `field` names one by its
  // placeholder or as "#n"; without it, the field being edited or the first one.
  static UIInteractionResult type(const std::string& text, const std::string& field = {});
  // Empties the field, as its clear button does.
  static UIInteractionResult clear(const std::string& field = {});
  // Takes the last character (not byte) off the field being edited, as a keyboard's
  // delete key does: in a text field, a search bar or an editable text view.
  static UIInteractionResult eraseBackward();
  // The field `type` would type into; none when the screen has no field of that name.
  static UIView* typingTarget(const std::string& field = {});
  static UIInteractionResult submit();
  // "down", "up", "top", "bottom" or a row "section.row"; "left" and "right" move the
  // first view that scrolls sideways (a page when it pages).
  static UIInteractionResult scroll(const std::string& where);
  static UIInteractionResult pullToRefresh();
  static UIInteractionResult back();
  static UIInteractionResult close();
  static UIInteractionResult chooseAlertAction(const std::string& title);
  // A tab by its title or its number, counting from 1 as "#n" does.
  static UIInteractionResult tab(const std::string& which);
  // Turns the device: the window's width and height swap.
  static UIInteractionResult rotate();
  // Lets `seconds` pass on the main loop's clock (a manual clock is moved; a real one waited on).
  static void advance(double seconds);
  static void runUntilIdle();
};
