#pragma once
// What scrolling views show that no subview holds: a table's section titles (floating
// at the top in a plain table) and its separators, a web page as a plain page of its
// title, text and links, and the in-app browser's address bar.
#include <cairo.h>

#include "uikit/SFSafariViewController.h"
#include "uikit/UITableView.h"
#include "webkit/WebContentView.h"

namespace PageDrawing {
// Over the table's cells, in its content's coordinates (its bounds).
void drawTableDecorations(cairo_t* cr, UITableView& table);
// Under the page's own views (its form controls), in the view's frame coordinates.
void drawWebPage(cairo_t* cr, const WebContentView& view);
void drawBrowserBar(cairo_t* cr, const SFSafariViewController& browser, const UIView& view, CGRect bounds);
}  // namespace PageDrawing
