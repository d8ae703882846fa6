#pragma once
// The text of what a window shows: the chain of presented screens, the tabs, the
// navigation stack and, for the screen in front, its title, bar buttons and views.
#include <string>
#include <vector>

class UIView;
class UIViewController;
class UIWindow;

class UIScreenText {
 public:
  static std::string describe(UIWindow& window);
  // The lines of a view and its visible subviews (the views' own screen text).
  static void appendViewLines(const UIView& view, std::vector<std::string>& lines, const std::string& indent = "");
  // "full screen", "over full screen", "page sheet"...
  static std::string presentationStyleName(const UIViewController& controller);
};
