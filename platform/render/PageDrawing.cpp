#include "render/PageDrawing.h"

#include <algorithm>

#include "render/TextDrawing.h"
#include "uikit/UITableViewCell.h"

namespace PageDrawing {
namespace {
bool isDark(const UIView& view) { return view.traitCollection().userInterfaceStyle == UIUserInterfaceStyleDark; }

void fillRect(cairo_t* cr, CGRect r, const UIColor& c) {
  cairo_rectangle(cr, r.origin.x, r.origin.y, r.size.width, r.size.height);
  cairo_set_source_rgba(cr, c.red(), c.green(), c.blue(), c.alpha());
  cairo_fill(cr);
}

std::string upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return s;
}
}  // namespace

void drawTableDecorations(cairo_t* cr, UITableView& table) {
  bool dark = isDark(table);
  CGRect bounds = table.bounds();
  if (table.separatorStyle() != UITableViewCellSeparatorStyleNone) {
    UIColor line = table.separatorColor().value_or(dark ? UIColor::colorWithWhite(1, 0.15) : UIColor::colorWithWhite(0, 0.18));
    for (const auto& cell : table.visibleCells()) {
      if (cell->isHidden()) continue;
      CGRect f = cell->frame();
      double left = f.minX() + cell->separatorInset().left;
      fillRect(cr, {{left, f.maxY() - 0.5}, {f.maxX() - left - cell->separatorInset().right, 0.5}}, line);
    }
  }
  bool grouped = table.style() != UITableViewStylePlain;
  UIColor secondary = dark ? UIColor::colorWithWhite(0.6, 1) : UIColor::colorWithRed(0.43, 0.43, 0.45, 1);
  for (long s = 0; s < table.numberOfSections(); ++s) {
    CGRect header = table.rectForHeaderInSection(s);
    auto title = table.headerTitleForSection(s);
    // A header of the section's own view is one of the table's subviews.
    if (title && !title->empty() && header.height() > 0 && !table.headerViewForSection(s)) {
      TextDrawing::Paragraph p;
      if (grouped) {
        p.text = upper(*title);
        p.font = UIFont::systemFontOfSize(13);
        p.color = secondary;
        double h = std::min(header.height(), 24.0);
        TextDrawing::draw(cr, p, {{20, header.maxY() - h}, {header.width() - 40, h - 6}});
      } else {
        // A plain table's title stays at the top while its section is under it.
        CGRect end = table.rectForFooterInSection(s);
        double top = bounds.minY() + table.adjustedContentInset().top;
        double y = std::clamp(top, header.minY(), std::max(header.minY(), end.maxY() - header.height()));
        CGRect bar{{0, y}, header.size};
        fillRect(cr, bar, dark ? UIColor::colorWithWhite(0.11, 1) : UIColor::colorWithWhite(0.96, 1));
        p.text = *title;
        p.font = UIFont::systemFontOfSize(15, UIFontWeightSemibold);
        p.color = dark ? UIColor::whiteColor() : UIColor::blackColor();
        TextDrawing::draw(cr, p, {{16, y}, {header.width() - 32, header.height()}});
      }
    }
    CGRect footer = table.rectForFooterInSection(s);
    if (auto text = table.footerTitleForSection(s); text && !text->empty() && footer.height() > 0) {
      TextDrawing::Paragraph p;
      p.text = *text;
      p.font = UIFont::systemFontOfSize(13);
      p.color = secondary;
      p.numberOfLines = 0;
      p.lineBreakMode = NSLineBreakByWordWrapping;
      TextDrawing::draw(cr, p, {{20, footer.minY() + 6}, {footer.width() - 40, footer.height() - 6}}, false);
    }
  }
}

void drawWebPage(cairo_t* cr, const WebContentView& view) {
  const WebPage& page = view.page();
  CGRect bounds{{0, 0}, view.frame().size};
  double y = 16 - (view.scrollView() ? view.scrollView()->contentOffset().y : 0);
  double width = bounds.width() - 32;
  bool dark = isDark(view);
  UIColor ink = dark ? UIColor::whiteColor() : UIColor::blackColor();
  cairo_save(cr);
  cairo_rectangle(cr, 0, 0, bounds.width(), bounds.height());
  cairo_clip(cr);
  auto block = [&](const std::string& text, const UIFont& font, const UIColor& colour, bool underline = false,
                   const NSAttributedString* runs = nullptr) {
    if (text.empty() || y > bounds.height()) return;
    TextDrawing::Paragraph p;
    p.text = text;
    p.attributed = runs;
    p.font = font;
    p.color = colour;
    p.numberOfLines = 0;
    p.lineBreakMode = NSLineBreakByWordWrapping;
    p.underline = underline;
    double h = TextDrawing::height(cr, p, width);
    if (y + h > 0) TextDrawing::draw(cr, p, {{16, y}, {width, h}}, false);
    y += h + 10;
  };
  if (view.isLoading()) {
    block("Loading\u2026", UIFont::systemFontOfSize(15), UIColor::colorWithWhite(0.55, 1));
  } else {
    block(page.summary.title, UIFont::systemFontOfSize(22, UIFontWeightBold), ink);
    // A link's text in a paragraph shows there in the tint, underlined; links no
    // paragraph holds follow the text.
    NSTextAttributes linkLook;
    linkLook.foregroundColor = view.tintColor();
    linkLook.underlineStyle = 1;
    std::vector<bool> shown(page.summary.links.size(), false);
    for (const auto& paragraph : page.summary.paragraphs) {
      NSAttributedString runs;
      size_t at = 0;
      while (at < paragraph.size()) {
        size_t next = std::string::npos, which = 0;
        for (size_t i = 0; i < page.summary.links.size(); ++i) {
          const std::string& t = page.summary.links[i].text;
          size_t found = t.empty() ? std::string::npos : paragraph.find(t, at);
          if (found < next) next = found, which = i;
        }
        if (next == std::string::npos) {
          runs.append(paragraph.substr(at));
          break;
        }
        if (next > at) runs.append(paragraph.substr(at, next - at));
        runs.append(page.summary.links[which].text, linkLook);
        shown[which] = true;
        at = next + page.summary.links[which].text.size();
      }
      block(paragraph, UIFont::systemFontOfSize(16), ink, false, &runs);
    }
    for (size_t i = 0; i < page.summary.links.size(); ++i)
      if (!shown[i]) {
        const auto& link = page.summary.links[i];
        block(link.text.empty() ? link.href : link.text, UIFont::systemFontOfSize(16), view.tintColor(), true);
      }
  }
  cairo_restore(cr);
}

void drawBrowserBar(cairo_t* cr, const SFSafariViewController& browser, const UIView& view, CGRect bounds) {
  bool dark = isDark(view);
  double top = view.safeAreaInsets().top;
  fillRect(cr, bounds, dark ? UIColor::blackColor() : UIColor::whiteColor());
  UIColor bar = browser.preferredBarTintColor().value_or(dark ? UIColor::colorWithWhite(0.1, 1) : UIColor::colorWithWhite(0.97, 1));
  fillRect(cr, {{0, 0}, {bounds.width(), top + 44}}, bar);
  fillRect(cr, {{0, top + 44}, {bounds.width(), 0.5}}, UIColor::colorWithWhite(0, 0.3));
  TextDrawing::Paragraph address;
  address.text = browser.currentURL().value_or(browser.url());
  address.font = UIFont::systemFontOfSize(14);
  address.color = dark ? UIColor::whiteColor() : UIColor::blackColor();
  address.alignment = NSTextAlignmentCenter;
  address.lineBreakMode = NSLineBreakByTruncatingMiddle;
  TextDrawing::draw(cr, address, {{96, top}, {bounds.width() - 192, 44}});
  // The page itself, as the browser shows it once it settles: its address.
  TextDrawing::Paragraph page;
  page.text = address.text;
  page.font = UIFont::systemFontOfSize(16);
  page.color = address.color;
  page.numberOfLines = 0;
  page.lineBreakMode = NSLineBreakByCharWrapping;
  TextDrawing::draw(cr, page, {{16, top + 60}, {bounds.width() - 32, bounds.height() - top - 76}}, false);
}
}  // namespace PageDrawing
