#pragma once
// Finding things on the front screen, shared by the verbs of UIInteraction.
#include <string>
#include <vector>

#include "uikit/UIGeometry.h"
#include "uikit/UIInteraction.h"

class UITableView;

namespace UIInteractionSupport {
std::string lower(std::string s);
// Equal, or equal but for case.
bool sameText(const std::string& a, const std::string& b);
// "#1 first, #2 second, ..." (the mark may be "" for plain numbers): what a person can
// choose by number, counted from 1.
std::string numbered(const std::vector<std::string>& texts, const std::string& mark = "#");
// "section.row".
bool parsePath(const std::string& s, NSIndexPath& out);
// The front screen's view and its visible, touchable views, depth first, in screen order.
std::vector<UIView*> frontViews();

template <class T>
T* firstOf() {
  for (UIView* v : frontViews())
    if (auto* t = dynamic_cast<T*>(v)) return t;
  return nullptr;
}

// The table whose row the screen's text prints as `printed` ("S.R"), and that row in it:
// a screen of several tables numbers their sections one after another. Nothing when the
// front screen has no table.
UITableView* tableForPrintedPath(const NSIndexPath& printed, NSIndexPath& path);

// A row of the front screen's tables by "section.row" as printed, or by its text.
UIInteractionResult findRow(const std::string& row, UITableView*& table, NSIndexPath& path);
// The row as the person named it ("row 1.0", "row \"Example Tool\""): on a screen of several
// tables the table's own path is not what the screen printed.
std::string rowAsGiven(const std::string& row);
}  // namespace UIInteractionSupport
