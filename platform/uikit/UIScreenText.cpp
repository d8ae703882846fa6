#include "uikit/UIScreenText.h"

#include "uikit/UINavigationController.h"
#include "uikit/UIScreenTextFormat.h"
#include "uikit/UISearchController.h"
#include "uikit/UITabBarController.h"
#include "uikit/UITableView.h"
#include "uikit/UIWindow.h"

namespace {
std::string nameOf(UIViewController* c) {
  if (!c) return "-";
  std::string title = c->navigationItem().title();
  if (title.empty()) title = c->title();
  return title.empty() ? c->className() : title;
}

std::string barItem(const std::shared_ptr<UIBarButtonItem>& item) {
  if (!item || item->isSpace()) return "";
  return "[" + item->displayTitle() + "]" + (item->isEnabled() ? "" : " (disabled)");
}
}  // namespace

std::string UIScreenText::presentationStyleName(const UIViewController& controller) {
  switch (controller.effectivePresentationStyle()) {
    case UIModalPresentationFullScreen: return "full screen";
    case UIModalPresentationPageSheet: return "page sheet";
    case UIModalPresentationFormSheet: return "form sheet";
    case UIModalPresentationCurrentContext: return "current context";
    case UIModalPresentationCustom: return "custom";
    case UIModalPresentationOverFullScreen: return "over full screen";
    case UIModalPresentationOverCurrentContext: return "over current context";
    case UIModalPresentationPopover: return "popover";
    default: return "automatic";
  }
}

void UIScreenText::appendViewLines(const UIView& view, std::vector<std::string>& lines, const std::string& indent) {
  for (const auto& sub : view.subviews()) {
    if (sub->isHidden() || sub->alpha() <= 0.01) continue;
    std::vector<std::string> own;
    bool covers = sub->appendScreenText(own);
    for (auto& l : own) lines.push_back(indent + l);
    if (!covers) appendViewLines(*sub, lines, indent);
  }
}

namespace {
// The screen a container shows: through tab bars and navigation stacks, not through
// presented screens.
UIViewController* shownScreen(UIViewController* c) {
  while (c) {
    if (auto* tab = dynamic_cast<UITabBarController*>(c)) {
      if (!tab->selectedViewController()) return c;
      c = tab->selectedViewController();
    } else if (auto* nav = dynamic_cast<UINavigationController*>(c)) {
      if (!nav->topViewController()) return c;
      c = nav->topViewController();
    } else {
      return c;
    }
  }
  return c;
}

UIViewController* shownPresented(UIViewController* c) {
  while (UIViewController* p = c->presentedViewController()) {
    if (p->isBeingDismissed()) break;
    c = p;
  }
  return c;
}

std::string titleOf(UIViewController* c) {
  std::string title = c->navigationItem().title();
  return title.empty() ? c->title() : title;
}

std::string classChain(UIViewController* root) {
  std::string chain = root->className();
  for (UIViewController* p = root->presentedViewController(); p; p = p->presentedViewController())
    chain += " > " + p->className() + " (" + UIScreenText::presentationStyleName(*p) + (p->isBeingDismissed() ? ", closing" : "") + ")";
  return chain;
}
}  // namespace

std::string UIScreenText::describe(UIWindow& window, bool verbose) {
  window.layoutIfNeeded();
  UIViewController* root = window.rootViewController();
  if (!root) return "(no screen)\n";
  // The containers around the screen in front: tabs, navigation stacks, their bars.
  std::vector<std::string> containers;
  UITabBarController* tabs = nullptr;  // whose floating views show over its tab
  UIViewController* front = shownPresented(root);
  UIViewController* presented = front == root ? nullptr : front;
  while (true) {
    if (auto* tab = dynamic_cast<UITabBarController*>(front)) {
      std::string line = "tabs:";
      auto& items = tab->tabBar()->items();
      for (size_t i = 0; i < items.size(); ++i) {
        std::string t = items[i]->title().empty() ? std::to_string(i + 1) : items[i]->title();
        if (items[i]->badgeValue()) t += "(" + *items[i]->badgeValue() + ")";
        line += " " + (long(i) == tab->selectedIndex() ? "[" + t + "]" : t);
      }
      containers.push_back(line);
      tabs = tab;
      if (!tab->selectedViewController()) break;
      front = tab->selectedViewController();
    } else if (auto* nav = dynamic_cast<UINavigationController*>(front)) {
      auto& stack = nav->viewControllers();
      if (stack.size() > 1 || verbose) {
        std::string line = "stack:";
        for (size_t i = 0; i < stack.size(); ++i) line += (i ? " > " : " ") + nameOf(stack[i].get());
        containers.push_back(line);
      }
      auto* top = nav->topViewController();
      if (!top) break;
      if (!nav->isNavigationBarHidden()) {
        std::string bar;
        auto& item = top->navigationItem();
        if (stack.size() > 1 && !item.hidesBackButton() && item.leftBarButtonItems().empty()) {
          auto& prev = stack[stack.size() - 2]->navigationItem();
          // An untitled screen below is gone back to by "Back", as on the device.
          const std::string& below = stack[stack.size() - 2]->title();
          std::string back = prev.backBarButtonItem() ? prev.backBarButtonItem()->displayTitle() : below.empty() ? "Back" : below;
          bar += "[< " + back + "]";
        }
        for (auto& i : item.leftBarButtonItems()) bar += (bar.empty() ? "" : " ") + barItem(i);
        std::string right;
        for (auto& i : item.rightBarButtonItems()) right += (right.empty() ? "" : " ") + barItem(i);
        if (!right.empty()) bar += (bar.empty() ? "" : "  ") + std::string("| ") + right;
        if (!bar.empty()) containers.push_back("bar: " + bar);
        if (auto& title = item.titleView(); title && !title->isHidden()) {
          std::vector<std::string> own;
          if (!title->appendScreenText(own)) appendViewLines(*title, own);
          for (auto& l : own) containers.push_back("bar: " + l);
        }
        if (auto& search = item.searchController(); search && !search->searchBar()->superview())
          search->searchBar()->appendScreenText(containers);
      }
      front = top;
    } else {
      break;
    }
    UIViewController* above = shownPresented(front);
    if (above != front) presented = above;
    front = above;
  }

  // A person reads the title first; the classes are there for whoever asks.
  std::vector<std::string> lines;
  if (verbose) {
    lines.push_back("screens: " + classChain(root));
    lines.push_back("screen: " + front->className());
  }
  std::string title = titleOf(front);
  if (!title.empty()) lines.push_back("title: " + UIScreenTextFormat::oneLine(title));
  if (presented) {
    UIViewController* below = presented->presentingViewController();
    std::string under = below ? titleOf(shownScreen(below)) : "";
    lines.push_back("over: " + (under.empty() ? std::string("an untitled screen") : UIScreenTextFormat::oneLine(under)));
  }
  lines.insert(lines.end(), containers.begin(), containers.end());
  size_t before = lines.size();
  UITableView::beginScreenNumbering();
  if (front->isViewLoaded()) {
    std::vector<std::string> own;
    bool covers = front->view()->appendScreenText(own);
    for (auto& l : own) lines.push_back(l);
    if (!covers) appendViewLines(*front->view(), lines);
  }
  front->appendScreenText(lines);
  if (tabs && !presented) {
    for (UIView* floating : tabs->floatingViews()) {
      std::vector<std::string> own;
      if (!floating->appendScreenText(own)) appendViewLines(*floating, own);
      std::string line;
      for (auto& l : own) line += (line.empty() ? "" : " | ") + l;
      if (!line.empty()) lines.push_back("floating: " + line);
    }
  }
  UITableView::endScreenNumbering();
  if (lines.size() == before) lines.push_back("(this screen is empty)");
  std::string out;
  for (auto& l : lines) out += l + "\n";
  return out;
}
