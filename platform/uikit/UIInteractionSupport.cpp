#include "uikit/UIInteractionSupport.h"

#include <cctype>

#include "uikit/UINavigationBar.h"
#include "uikit/UINavigationController.h"
#include "uikit/UISearchController.h"
#include "uikit/UITabBar.h"
#include "uikit/UITabBarController.h"
#include "uikit/UITableView.h"
#include "uikit/UIViewController.h"

namespace UIInteractionSupport {
std::string lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool sameText(const std::string& a, const std::string& b) { return a == b || lower(a) == lower(b); }

std::string numbered(const std::vector<std::string>& texts, const std::string& mark) {
  std::string out;
  for (size_t i = 0; i < texts.size(); ++i)
    out += (i ? ", " : "") + mark + std::to_string(i + 1) + " " + (texts[i].empty() ? "(no text)" : texts[i]);
  return out;
}

bool parsePath(const std::string& s, NSIndexPath& out) {
  auto dot = s.find('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 >= s.size()) return false;
  for (size_t i = 0; i < s.size(); ++i)
    if (i != dot && !std::isdigit(static_cast<unsigned char>(s[i]))) return false;
  out = {std::stol(s.substr(0, dot)), std::stol(s.substr(dot + 1))};
  return true;
}

namespace {
// Visible views of the front screen, depth first, in screen order.
void visibleViews(UIView* view, std::vector<UIView*>& out) {
  for (auto& sub : view->subviews()) {
    if (sub->isHidden() || sub->alpha() <= 0.01 || !sub->isUserInteractionEnabled()) continue;
    if (dynamic_cast<UINavigationBar*>(sub.get()) || dynamic_cast<UITabBar*>(sub.get())) continue;
    out.push_back(sub.get());
    visibleViews(sub.get(), out);
  }
}

}  // namespace

std::vector<UIView*> frontViews() {
  std::vector<UIView*> out;
  UIViewController* f = UIInteraction::front();
  // What the screen shows in the navigation bar comes first: its title view and the
  // search bar of its search controller (which moves to the front once searching).
  auto* nav = f ? f->navigationController() : nullptr;
  if (nav && !nav->isNavigationBarHidden()) {
    auto& item = f->navigationItem();
    if (auto& title = item.titleView(); title && !title->isHidden()) {
      out.push_back(title.get());
      visibleViews(title.get(), out);
    }
    if (auto& search = item.searchController(); search && !search->searchBar()->superview())
      out.push_back(search->searchBar());
  }
  if (f && f->isViewLoaded()) {
    out.push_back(f->view().get());
    visibleViews(f->view().get(), out);
  }
  // What floats over the tabs is in front of the tab's screen.
  if (auto* tabs = f ? f->tabBarController() : nullptr) {
    for (UIView* v : tabs->floatingViews()) {
      out.push_back(v);
      visibleViews(v, out);
    }
  }
  return out;
}

UITableView* tableForPrintedPath(const NSIndexPath& printed, NSIndexPath& path) {
  std::vector<UITableView*> tables;
  for (UIView* v : frontViews())
    if (auto* table = dynamic_cast<UITableView*>(v)) tables.push_back(table);
  path = printed;
  if (tables.size() < 2) return tables.empty() ? nullptr : tables.front();
  // Numbered as the screen prints them now.
  UIInteraction::screen();
  const uint64_t numbering = UITableView::lastScreenNumbering();
  for (UITableView* table : tables) {
    long base = table->printedSectionBase();
    if (table->printedInNumbering() != numbering || printed.section < base ||
        printed.section >= base + table->numberOfSections())
      continue;
    path = {printed.section - base, printed.row};
    return table;
  }
  return tables.front();
}

UIInteractionResult findRow(const std::string& row, UITableView*& table, NSIndexPath& path) {
  table = firstOf<UITableView>();
  if (!table) return UIInteractionResult::failure("there is no table on this screen");
  NSIndexPath printed;
  if (parsePath(row, printed)) {
    table = tableForPrintedPath(printed, path);
    if (!table || path.section >= table->numberOfSections() || path.row >= table->numberOfRowsInSection(path.section))
      return UIInteractionResult::failure("no row " + row + " on this screen");
    return UIInteractionResult::success();
  }
  // By its text, the row may be in any of the screen's tables (a page of several cards).
  for (UIView* v : frontViews()) {
    auto* each = dynamic_cast<UITableView*>(v);
    if (!each) continue;
    for (auto& p : each->indexPathsForVisibleRows()) {
      std::string text, detail, accessory;
      each->cellForRowAtIndexPath(p)->screenRowParts(text, detail, accessory);
      if (sameText(text, row)) {
        table = each;
        path = p;
        return UIInteractionResult::success();
      }
    }
  }
  return UIInteractionResult::failure("no row \"" + row + "\"");
}

std::string rowAsGiven(const std::string& row) {
  NSIndexPath path;
  return parsePath(row, path) ? "row " + row : "row \"" + row + "\"";
}
}  // namespace UIInteractionSupport
