#include "render/IconGlyphs.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <map>

#include "render/TextDrawing.h"

namespace IconGlyphs {
namespace {
std::string utf8(char32_t c) {
  std::string out;
  if (c < 0x10000) {
    out += char(0xE0 | (c >> 12));
  } else {
    out += char(0xF0 | (c >> 18));
    out += char(0x80 | ((c >> 12) & 0x3F));
  }
  out += char(0x80 | ((c >> 6) & 0x3F));
  out += char(0x80 | (c & 0x3F));
  return out;
}

// The font's code points, by the names the screens use for their pictures.
const std::map<std::string, char32_t>& glyphs() {
  static const std::map<std::string, char32_t> table = {
      // The tabs.
      {"star.fill", 0xe838}, {"square.grid.2x2", 0xe9b0}, {"clock.arrow.circlepath", 0xe923},
      {"tray.full", 0xe1a1}, {"magnifyingglass", 0xe8b6},
      // The bars' system items and symbols.
      {"plus", 0xe145}, {"arrow.clockwise", 0xe5d5}, {"square.and.arrow.up", 0xe6b8}, {"trash", 0xe872},
      {"ellipsis", 0xe5d3},
      // The application's own marks, whose pictures are mere squares.
      {"Sort", 0xe164}, {"install", 0xf090}, {"installed", 0xe86c}, {"upgrade", 0xf182}, {"uninstall", 0xe15d},
      {"reinstall", 0xe042}, {"downgrade", 0xf181},
  };
  return table;
}
}  // namespace

std::optional<std::string> glyphNamed(const std::string& name) {
  std::string key = name;
  if (size_t dot = key.rfind(".png"); dot != std::string::npos && dot + 4 == key.size()) key.erase(dot);
  auto it = glyphs().find(key);
  if (it == glyphs().end()) return std::nullopt;
  return utf8(it->second);
}

void draw(cairo_t* cr, const std::string& glyph, CGRect box, const UIColor& colour) {
  double side = std::min(box.size.width, box.size.height);
  if (side <= 0) return;
  PangoLayout* layout = pango_cairo_create_layout(cr);
  PangoFontDescription* font = pango_font_description_from_string("Material Icons");
  pango_font_description_set_absolute_size(font, side * PANGO_SCALE);
  pango_layout_set_font_description(layout, font);
  pango_font_description_free(font);
  pango_layout_set_text(layout, glyph.c_str(), int(glyph.size()));
  PangoRectangle ink, logical;
  pango_layout_get_pixel_extents(layout, &ink, &logical);
  double x = box.origin.x + (box.size.width - logical.width) / 2;
  double y = box.origin.y + (box.size.height - logical.height) / 2;
  cairo_save(cr);
  cairo_set_source_rgba(cr, colour.red(), colour.green(), colour.blue(), colour.alpha());
  cairo_move_to(cr, x, y);
  pango_cairo_show_layout(cr, layout);
  TextDrawing::note(cr, {TextDrawing::Record::Icon, glyph, box, box});
  cairo_restore(cr);
  g_object_unref(layout);
}
}  // namespace IconGlyphs
