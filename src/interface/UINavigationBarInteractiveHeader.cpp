#include "interface/UINavigationBarInteractiveHeader.h"

#include <map>

#include "foundation/NotificationToken.h"
#include "interface/InteractiveHeaderImageView.h"
#include "interface/UIColorInterpolation.h"
#include "interface/UIImageColoredImage.h"
#include "interface/UIScrollViewInteractiveHeader.h"
#include "uikit/UINavigationBar.h"
#include "uikit/UIScrollView.h"

namespace UINavigationBarInteractiveHeader {
namespace {

struct BarState {
  std::weak_ptr<const UIView> bar;
  std::optional<UIColor> scrollColor, scrollTintColor;
  std::weak_ptr<UIScrollView> scrollView;
  std::shared_ptr<NotificationToken> observation;
};

// What each bar carries; bars that have gone are forgotten at the next look-up. Main
// thread only, as the bars themselves.
std::map<const UINavigationBar*, BarState>& states() {
  static auto* map = new std::map<const UINavigationBar*, BarState>;
  for (auto it = map->begin(); it != map->end();) it = it->second.bar.expired() ? map->erase(it) : std::next(it);
  return *map;
}

BarState& state(const UINavigationBar& bar) {
  BarState& s = states()[&bar];
  if (s.bar.expired()) s = BarState{bar.weak_from_this(), {}, {}, {}, {}};
  return s;
}

}  // namespace

std::optional<UIColor> scrollColor(const UINavigationBar& bar) { return state(bar).scrollColor; }
void setScrollColor(UINavigationBar& bar, std::optional<UIColor> color) { state(bar).scrollColor = std::move(color); }
std::optional<UIColor> scrollTintColor(const UINavigationBar& bar) { return state(bar).scrollTintColor; }
void setScrollTintColor(UINavigationBar& bar, std::optional<UIColor> color) {
  state(bar).scrollTintColor = std::move(color);
}
std::shared_ptr<UIScrollView> scrollView(const UINavigationBar& bar) { return state(bar).scrollView.lock(); }

void setScrollView(const std::shared_ptr<UINavigationBar>& bar, const std::shared_ptr<UIScrollView>& scrollView) {
  BarState& s = state(*bar);
  s.observation.reset();
  s.scrollView = scrollView;
  bar->setTranslucent(true);
  bar->setShadowImage(std::make_shared<UIImage>());
  bar->setBarStyle(UIBarStyleDefault);
  bar->setTintColor(UIColor::whiteColor());
  NSTextAttributes title = bar->titleTextAttributes();
  title.foregroundColor = UIColor::whiteColor();
  bar->setTitleTextAttributes(title);
  if (!scrollView) return;
  std::weak_ptr<UINavigationBar> weakBar = bar;
  std::weak_ptr<UIScrollView> weakScroll = scrollView;
  s.observation = std::make_shared<NotificationToken>(scrollView->addContentOffsetObserver([weakBar, weakScroll](CGPoint) {
    auto b = weakBar.lock();
    auto sv = weakScroll.lock();
    if (!b || !sv) return;
    auto header = UIScrollViewInteractiveHeader::interactiveHeader(*sv);
    if (header) header->layoutIfNeeded();  // its progress at this very offset
    updateAlpha(*b, 0.9 - (header ? header->revealProgress() : 1.0));
  }));
}

void updateAlpha(UINavigationBar& bar, double alpha) {
  const BarState& s = state(bar);
  bar.setTintColor(UIColorInterpolation::lerpToColor(UIColor::whiteColor(),
                                                     s.scrollTintColor.value_or(UIColor::whiteColor()), alpha));
  if (alpha >= 1) {
    bar.setBackgroundImage(nullptr, UIBarMetricsDefault);
  } else if (alpha <= 0) {
    bar.setBackgroundImage(std::make_shared<UIImage>(), UIBarMetricsDefault);
  } else {
    UIColor fill = s.scrollColor.value_or(UIColor::whiteColor()).colorWithAlphaComponent(alpha);
    bar.setBackgroundImage(UIImageColoredImage::imageWithColor(fill), UIBarMetricsDefault);
  }
}

void resetAppearance(UINavigationBar& bar) {
  BarState& s = state(bar);
  s.observation.reset();
  s.scrollView.reset();
  bar.setTintColor(std::nullopt);
  bar.setShadowImage(nullptr);
  bar.setBarTintColor(std::nullopt);
  bar.setTitleTextAttributes({});
  bar.setBackgroundImage(nullptr, UIBarMetricsDefault);
}

}  // namespace UINavigationBarInteractiveHeader
