#pragma once
// The navigation bar and the tab bar keep their items outside their views (the items of
// the controllers they serve): they are drawn here from those items.
#include <cairo.h>

#include <memory>
#include <string>
#include <vector>

#include "uikit/UINavigationBar.h"
#include "uikit/UITabBar.h"

class UIBarButtonItem;

namespace BarDrawing {
// Where a navigation bar shows a button of the screen on top (in the bar's points): its
// item, or none for the back button.
struct ItemPlace {
  std::shared_ptr<UIBarButtonItem> item;
  std::string label;
  CGRect rect;
};
std::vector<ItemPlace> itemPlaces(const UINavigationBar& bar);
// Puts the views the screen on top shows in the bar (its title view, its items' custom
// views) in the bar as subviews, where the bar shows them.
void hostViews(UINavigationBar& bar);

void drawNavigationBar(cairo_t* cr, const UINavigationBar& bar);
void drawTabBar(cairo_t* cr, const UITabBar& bar);
}  // namespace BarDrawing
