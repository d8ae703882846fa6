#pragma once
// The text of what a window shows: the title of the screen in front, what it is
// presented over, the tabs, the navigation stack, the bar buttons and the views.
#include <string>
#include <vector>

class UIView;
class UIViewController;
class UIWindow;

class UIScreenText {
 public:
  // Leads with the front screen's title; `verbose` adds the classes of the screens.
  static std::string describe(UIWindow& window, bool verbose = false);
  // The lines of a view and its visible subviews (the views' own screen text).
  static void appendViewLines(const UIView& view, std::vector<std::string>& lines, const std::string& indent = "");
  // "full screen", "over full screen", "page sheet"...
  static std::string presentationStyleName(const UIViewController& controller);
};
