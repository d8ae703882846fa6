#pragma once
// A navigation bar that follows a scroll view's collapsing header: see-through while the
// header shows, filling with `scrollColor` as the header slides under it.
#include <memory>
#include <optional>

#include "uikit/UIColor.h"

class UINavigationBar;
class UIScrollView;

namespace UINavigationBarInteractiveHeader {
std::optional<UIColor> scrollColor(const UINavigationBar& bar);
void setScrollColor(UINavigationBar& bar, std::optional<UIColor> color);
std::optional<UIColor> scrollTintColor(const UINavigationBar& bar);
void setScrollTintColor(UINavigationBar& bar, std::optional<UIColor> color);
std::shared_ptr<UIScrollView> scrollView(const UINavigationBar& bar);
// Follows the scroll view (held weakly): translucent, white tint and title, and at every
// change of its offset updateAlpha with 0.9 minus its header's reveal progress.
void setScrollView(const std::shared_ptr<UINavigationBar>& bar, const std::shared_ptr<UIScrollView>& scrollView);
void updateAlpha(UINavigationBar& bar, double alpha);
// Stops following and gives the bar back its default look.
void resetAppearance(UINavigationBar& bar);
}  // namespace UINavigationBarInteractiveHeader
