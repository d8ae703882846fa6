#pragma once
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "uikit/NSAttributedString.h"
#include "uikit/UIBarBase.h"
#include "uikit/UIImage.h"
#include "uikit/UINavigationBarAppearance.h"

enum UIBarMetrics : long { UIBarMetricsDefault = 0, UIBarMetricsCompact = 1 };

// The bar of a navigation controller: its colours and images. Its items come from the
// navigation items of the controllers on the stack.
class UINavigationBar : public UIBarBase {
 public:
  UINavigationBar();
  bool prefersLargeTitles() const { return prefersLargeTitles_; }
  void setPrefersLargeTitles(bool value) { prefersLargeTitles_ = value; }
  // The band under the bar where a large title stands.
  static constexpr double kLargeTitleHeight = 52;
  // Whether the screen on top of the stack this bar serves has its title large: the bar
  // prefers large titles and the screen does not refuse them (nor, where it leaves it to
  // the screens below, does the nearest one that says). Content that starts below the
  // band shows it; scrolled up into it, the title goes back into the bar.
  bool showsLargeTitle() const;
  // Whether the large title stands in its band now: the screen shows it and its content
  // starts below the band (content that does not scroll does where it keeps clear of the
  // bars). Scrolled up into the band, the content shows there and the title is in the bar.
  bool largeTitleStands() const;
  const NSTextAttributes& titleTextAttributes() const { return titleAttributes_; }
  void setTitleTextAttributes(NSTextAttributes a) { titleAttributes_ = std::move(a); }
  const NSTextAttributes& largeTitleTextAttributes() const { return largeTitleAttributes_; }
  void setLargeTitleTextAttributes(NSTextAttributes a) { largeTitleAttributes_ = std::move(a); }
  void setBackgroundImage(std::shared_ptr<UIImage> image, UIBarMetrics metrics = UIBarMetricsDefault);
  std::shared_ptr<UIImage> backgroundImageForBarMetrics(UIBarMetrics metrics = UIBarMetricsDefault) const;
  const std::shared_ptr<UIImage>& shadowImage() const { return shadowImage_; }
  void setShadowImage(std::shared_ptr<UIImage> image) { shadowImage_ = std::move(image); }
  const std::shared_ptr<UINavigationBarAppearance>& standardAppearance() const { return standard_; }
  void setStandardAppearance(std::shared_ptr<UINavigationBarAppearance> a) { standard_ = std::move(a); }
  const std::shared_ptr<UINavigationBarAppearance>& scrollEdgeAppearance() const { return scrollEdge_; }
  void setScrollEdgeAppearance(std::shared_ptr<UINavigationBarAppearance> a) { scrollEdge_ = std::move(a); }
  const std::shared_ptr<UINavigationBarAppearance>& compactAppearance() const { return compact_; }
  void setCompactAppearance(std::shared_ptr<UINavigationBarAppearance> a) { compact_ = std::move(a); }

  // Holds these views (the screen's title view, its items' custom views) at these places,
  // so that they are drawn and touched where the bar shows them; the ones it held
  // before and no longer shows are taken out.
  void host(const std::vector<std::pair<std::shared_ptr<UIView>, CGRect>>& views);

 private:
  std::vector<std::weak_ptr<UIView>> hosted_;
  bool prefersLargeTitles_ = false;
  NSTextAttributes titleAttributes_, largeTitleAttributes_;
  std::map<long, std::shared_ptr<UIImage>> backgroundImages_;
  std::shared_ptr<UIImage> shadowImage_;
  std::shared_ptr<UINavigationBarAppearance> standard_, scrollEdge_, compact_;
};
