#include "render/BarDrawing.h"

#include <algorithm>
#include <cmath>

#include "render/IconGlyphs.h"
#include "render/TextDrawing.h"
#include "render/ViewRenderer.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UIImage.h"
#include "uikit/UINavigationController.h"
#include "uikit/UISegmentedControl.h"

namespace BarDrawing {
namespace {
constexpr double kLargeTitleBand = UINavigationBar::kLargeTitleHeight;

// The bar's colour down to `height`, with its hairline at `hairlineY`.
void fillBar(cairo_t* cr, const UIBarBase& bar, double hairlineY, double height) {
  CGSize size = bar.frame().size;
  UIColor colour = bar.barTintColor().value_or(bar.barStyle() == UIBarStyleBlack ? UIColor::colorWithWhite(0.08, 1)
                                                                                 : UIColor::colorWithWhite(0.97, 1));
  // A translucent bar blurs what passes under it past reading: drawn without the blur,
  // it stays opaque so that no text shows through.
  // A navigation bar's ground reaches up under the status bar above it.
  double top = dynamic_cast<const UINavigationBar*>(&bar) ? -std::max(0.0, bar.frame().minY()) : 0;
  CGRect ground = CGRect::make(0, top, size.width, height - top);
  cairo_rectangle(cr, ground.minX(), ground.minY(), ground.width(), ground.height());
  cairo_set_source_rgba(cr, colour.red(), colour.green(), colour.blue(), colour.alpha());
  cairo_fill(cr);
  if (colour.alpha() >= 0.9) TextDrawing::note(cr, {TextDrawing::Record::Fill, {}, ground, {}});
  cairo_rectangle(cr, 0, hairlineY, size.width, 0.5);
  cairo_set_source_rgba(cr, 0, 0, 0, 0.3);
  cairo_fill(cr);
}

// The icon a system item shows, by its symbol's name.
std::optional<std::string> symbolOf(UIBarButtonSystemItem item) {
  switch (item) {
    case UIBarButtonSystemItemAdd: return "plus";
    case UIBarButtonSystemItemRefresh: return "arrow.clockwise";
    case UIBarButtonSystemItemAction: return "square.and.arrow.up";
    case UIBarButtonSystemItemSearch: return "magnifyingglass";
    case UIBarButtonSystemItemTrash: return "trash";
    default: return std::nullopt;
  }
}

UIColor foreground(const UIBarBase& bar) { return bar.barStyle() == UIBarStyleBlack ? UIColor::whiteColor() : UIColor::blackColor(); }

}  // namespace

void drawNavigationBar(cairo_t* cr, const UINavigationBar& bar) {
  CGSize size = bar.frame().size;
  auto* navigation = bar.superview() ? dynamic_cast<UINavigationController*>(bar.superview()->owningViewController()) : nullptr;
  UIViewController* top = navigation ? navigation->topViewController() : nullptr;
  bool large = top && bar.largeTitleStands();
  double height = size.height + (large ? kLargeTitleBand : 0);
  // A bar with a background of its own has it painted already.
  if (!bar.backgroundColor() || bar.backgroundColor()->alpha() <= 0) {
    fillBar(cr, bar, height - 0.5, height);
  } else if (double above = bar.frame().minY(); above > 0) {
    // Its own ground is painted in its frame; the status bar's strip above takes it too.
    const UIColor& c = *bar.backgroundColor();
    cairo_rectangle(cr, 0, -above, size.width, above);
    cairo_set_source_rgba(cr, c.red(), c.green(), c.blue(), c.alpha());
    cairo_fill(cr);
    if (c.alpha() >= 0.9) TextDrawing::note(cr, {TextDrawing::Record::Fill, {}, CGRect::make(0, -above, size.width, height + above), {}});
  }
  if (!top) return;
  const UINavigationItem& item = top->navigationItem();
  TextDrawing::Paragraph title;
  title.text = !item.title().empty() ? item.title() : top->title();
  title.font = UIFont::systemFontOfSize(17, UIFontWeightSemibold);
  title.color = bar.titleTextAttributes().foregroundColor.value_or(foreground(bar));
  if (bar.titleTextAttributes().font) title.font = *bar.titleTextAttributes().font;
  title.alignment = NSTextAlignmentCenter;
  if (large) {
    // The title in the bar's lower band, left, large and bold.
    CGRect band{{0, size.height}, {size.width, kLargeTitleBand}};
    TextDrawing::Paragraph big = title;
    big.font = bar.largeTitleTextAttributes().font.value_or(UIFont::systemFontOfSize(34, UIFontWeightBold));
    big.color = bar.largeTitleTextAttributes().foregroundColor.value_or(title.color);
    big.alignment = NSTextAlignmentLeft;
    TextDrawing::draw(cr, big, {{16, band.minY()}, {size.width - 32, band.height() - 8}});
  } else if (!item.titleView()) {
    TextDrawing::draw(cr, title, {{size.width * 0.25, 0}, {size.width * 0.5, size.height}});
  }

  for (const ItemPlace& place : itemPlaces(bar)) {
    const UIBarButtonItem* button = place.item.get();
    if (button && button->customView()) continue;  // a view of the bar's own, drawn as its subview
    UIColor colour = button && button->tintColor() ? *button->tintColor() : bar.tintColor();
    if (button && !button->isEnabled()) colour = colour.colorWithAlphaComponent(colour.alpha() * 0.4);
    if (button && button->image() && button->title().empty()) {
      CGRect r = place.rect;
      // A bar button's image is a shape in the tint unless it asks to keep its colours.
      ViewRenderer::drawImage(cr, *button->image(), {{r.minX() + (r.width() - 24) / 2, (size.height - 24) / 2}, {24, 24}},
                              UIViewContentModeScaleAspectFit, colour,
                              button->image()->renderingMode() != UIImageRenderingModeAlwaysOriginal);
      continue;
    }
    if (auto symbol = button && button->title().empty() && button->systemItem() ? symbolOf(*button->systemItem()) : std::nullopt)
      if (auto glyph = IconGlyphs::glyphNamed(*symbol)) {
        CGRect r = place.rect;
        IconGlyphs::draw(cr, *glyph, {{r.minX() + (r.width() - 24) / 2, (size.height - 24) / 2}, {24, 24}}, colour);
        continue;
      }
    TextDrawing::Paragraph side;
    side.text = place.label;
    bool glyph = button && button->title().empty() && button->systemItem() && place.label.size() <= 3;
    bool done = button && button->systemItem() && *button->systemItem() == UIBarButtonSystemItemDone;
    side.font = UIFont::systemFontOfSize(glyph ? 24 : 17, done || (button && button->style() == UIBarButtonItemStyleDone)
                                                               ? UIFontWeightSemibold
                                                               : UIFontWeightRegular);
    side.color = colour;
    side.inactive = button && !button->isEnabled();
    side.alignment = NSTextAlignmentCenter;
    TextDrawing::draw(cr, side, place.rect);
  }
}

namespace {
// The size a view in the bar asks for: a segmented control's segments side by side.
CGSize sizeInBar(const UIView& view, CGSize bar) {
  if (auto* segments = dynamic_cast<const UISegmentedControl*>(&view)) {
    double width = 0;
    for (size_t i = 0; i < segments->numberOfSegments(); ++i) {
      double w = segments->widthForSegmentAtIndex(i);
      width += w > 0 ? w : UIFont::systemFontOfSize(13, UIFontWeightSemibold).widthOfString(segments->titleForSegmentAtIndex(i)) + 28;
    }
    return {std::min(width, bar.width - 32), std::min(32.0, bar.height - 8)};
  }
  CGSize own = view.frame().size;
  if (own.width <= 0 || own.height <= 0) own = view.sizeThatFits(bar);
  return {std::min(own.width > 0 ? own.width : bar.width * 0.5, bar.width - 32),
          std::min(own.height > 0 ? own.height : 32.0, bar.height - 8)};
}
}  // namespace

void hostViews(UINavigationBar& bar) {
  std::vector<std::pair<std::shared_ptr<UIView>, CGRect>> views;
  CGSize size = bar.frame().size;
  auto* navigation = bar.superview() ? dynamic_cast<UINavigationController*>(bar.superview()->owningViewController()) : nullptr;
  UIViewController* top = navigation ? navigation->topViewController() : nullptr;
  if (top && !bar.isHidden()) {
    if (const auto& title = top->navigationItem().titleView()) {
      CGSize s = sizeInBar(*title, size);
      views.push_back({title, CGRect::make((size.width - s.width) / 2, (size.height - s.height) / 2, s.width, s.height)});
    }
    for (const ItemPlace& place : itemPlaces(bar))
      if (place.item && place.item->customView()) {
        CGSize s = sizeInBar(*place.item->customView(), size);
        views.push_back({place.item->customView(), CGRect::make(place.rect.midX() - s.width / 2, (size.height - s.height) / 2,
                                                                 s.width, s.height)});
      }
  }
  bar.host(views);
}

std::vector<ItemPlace> itemPlaces(const UINavigationBar& bar) {
  std::vector<ItemPlace> places;
  CGSize size = bar.frame().size;
  auto* navigation = bar.superview() ? dynamic_cast<UINavigationController*>(bar.superview()->owningViewController()) : nullptr;
  UIViewController* top = navigation ? navigation->topViewController() : nullptr;
  if (!top) return places;
  const UINavigationItem& item = top->navigationItem();
  UIFont font = UIFont::systemFontOfSize(17);
  auto labelOf = [](const UIBarButtonItem& b) {
    if (!b.title().empty() || !b.systemItem()) return b.title();
    // The system's icons as the glyphs nearest them.
    switch (*b.systemItem()) {
      case UIBarButtonSystemItemAdd: return std::string("+");
      case UIBarButtonSystemItemRefresh: return std::string("\u21bb");
      case UIBarButtonSystemItemAction: return std::string("\u21ea");
      case UIBarButtonSystemItemSearch: return std::string("\u2315");
      case UIBarButtonSystemItemTrash: return std::string("\u2716");
      default: return b.displayTitle();
    }
  };
  auto widthOf = [&](const UIBarButtonItem& b) {
    if (b.customView()) return sizeInBar(*b.customView(), size).width + 8;
    if (b.image() && b.title().empty()) return 36.0;
    std::string label = labelOf(b);
    return label.size() <= 3 ? 36.0 : std::min(size.width * 0.3, font.widthOfString(label) + 16);
  };
  double x = 8;
  const auto& stack = navigation->viewControllers();
  if (!item.leftBarButtonItems().empty()) {
    for (const auto& b : item.leftBarButtonItems()) {
      if (!b || b->isSpace()) continue;
      double w = widthOf(*b);
      places.push_back({b, labelOf(*b), CGRect::make(x, 0, w, size.height)});
      x += w;
    }
  } else if (stack.size() > 1 && !item.hidesBackButton()) {
    const auto& previous = stack[stack.size() - 2];
    std::string back = !previous->navigationItem().title().empty() ? previous->navigationItem().title() : previous->title();
    places.push_back({nullptr, "\u2039 " + (back.empty() ? std::string("Back") : back), CGRect::make(x, 0, size.width * 0.25, size.height)});
  }
  x = size.width - 8;
  for (const auto& b : item.rightBarButtonItems()) {  // from the right edge inwards
    if (!b || b->isSpace()) continue;
    double w = widthOf(*b);
    x -= w;
    places.push_back({b, labelOf(*b), CGRect::make(x, 0, w, size.height)});
  }
  return places;
}

void drawTabBar(cairo_t* cr, const UITabBar& bar) {
  CGSize size = bar.frame().size;
  if (!bar.backgroundColor() || bar.backgroundColor()->alpha() <= 0) fillBar(cr, bar, 0, size.height);
  const auto& items = bar.items();
  if (items.empty()) return;
  double width = size.width / double(items.size());
  // Items stand in the bar's top 49 points; below is the home indicator's margin.
  for (size_t i = 0; i < items.size(); ++i) {
    const UITabBarItem& item = *items[i];
    bool selected = bar.selectedItem() == items[i];
    // The grey of an item not chosen stands out from its bar by 4.5 to 1 and more.
    UIColor grey = UIColor::colorWithWhite(bar.barStyle() == UIBarStyleBlack ? 0.56 : 0.42, 1);
    UIColor colour = selected ? bar.tintColor() : bar.unselectedItemTintColor().value_or(grey);
    double x = width * double(i);
    auto image = selected && item.selectedImage() ? item.selectedImage() : item.image();
    if (image) ViewRenderer::drawImage(cr, *image, {{x + (width - 25) / 2, 5}, {25, 25}}, UIViewContentModeScaleAspectFit, colour, true);
    TextDrawing::Paragraph title;
    title.text = item.title();
    title.font = UIFont::systemFontOfSize(10, UIFontWeightMedium);
    title.color = colour;
    title.alignment = NSTextAlignmentCenter;
    TextDrawing::draw(cr, title, {{x, 32}, {width, 14}}, false);
    if (item.badgeValue() && !item.badgeValue()->empty()) {
      double cx = x + width / 2 + 14, cy = 8, r = 9;
      cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
      cairo_set_source_rgba(cr, 0.85, 0.1, 0.08, 1);  // a red its white count stands out from
      cairo_fill(cr);
      TextDrawing::Paragraph badge;
      badge.text = *item.badgeValue();
      badge.font = UIFont::systemFontOfSize(12, UIFontWeightMedium);
      badge.color = UIColor::whiteColor();
      badge.alignment = NSTextAlignmentCenter;
      TextDrawing::draw(cr, badge, {{cx - 14, cy - r}, {28, 2 * r}});
    }
  }
}
}  // namespace BarDrawing
