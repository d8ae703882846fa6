#pragma once
// The navigation bar and the tab bar keep their items outside their views (the items of
// the controllers they serve): they are drawn here from those items.
#include <cairo.h>

#include "uikit/UINavigationBar.h"
#include "uikit/UITabBar.h"

namespace BarDrawing {
void drawNavigationBar(cairo_t* cr, const UINavigationBar& bar);
void drawTabBar(cairo_t* cr, const UITabBar& bar);
}  // namespace BarDrawing
