#include "render/TextDrawing.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>

#include "uikit/UIScreen.h"

namespace TextDrawing {
namespace {
// A free family near the platform's system face, then what every Debian has.
constexpr const char* kSystemFamilies = "Inter, DejaVu Sans, sans-serif";
constexpr const char* kMonospaceFamilies = "DejaVu Sans Mono, monospace";

PangoWeight pangoWeight(double weight) {
  if (weight <= -0.7) return PANGO_WEIGHT_ULTRALIGHT;
  if (weight <= -0.5) return PANGO_WEIGHT_THIN;
  if (weight <= -0.2) return PANGO_WEIGHT_LIGHT;
  if (weight < 0.15) return PANGO_WEIGHT_NORMAL;
  if (weight < 0.27) return PANGO_WEIGHT_MEDIUM;
  if (weight < 0.35) return PANGO_WEIGHT_SEMIBOLD;
  if (weight < 0.5) return PANGO_WEIGHT_BOLD;
  if (weight < 0.6) return PANGO_WEIGHT_ULTRABOLD;
  return PANGO_WEIGHT_HEAVY;
}

bool isMonospace(const std::string& name) {
  for (const char* mono : {"Menlo", "Courier", "Mono"})
    if (name.find(mono) != std::string::npos) return true;
  return false;
}

PangoFontDescription* describe(const UIFont& font) {
  PangoFontDescription* d = pango_font_description_new();
  pango_font_description_set_family(d, isMonospace(font.fontName()) ? kMonospaceFamilies : kSystemFamilies);
  // Absolute sizes are in the context's units, points here, whatever the display's resolution.
  pango_font_description_set_absolute_size(d, std::max(1.0, font.pointSize()) * PANGO_SCALE);
  pango_font_description_set_weight(d, pangoWeight(font.weight()));
  pango_font_description_set_style(d, font.isItalic() ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  return d;
}

guint16 channel(double v) { return guint16(std::lround(std::clamp(v, 0.0, 1.0) * 65535)); }

void insert(PangoAttrList* list, PangoAttribute* a, size_t start, size_t end) {
  a->start_index = guint(start);
  a->end_index = guint(end);
  pango_attr_list_insert(list, a);
}

void addColour(PangoAttrList* list, const UIColor& c, size_t start, size_t end, bool background) {
  insert(list,
         background ? pango_attr_background_new(channel(c.red()), channel(c.green()), channel(c.blue()))
                    : pango_attr_foreground_new(channel(c.red()), channel(c.green()), channel(c.blue())),
         start, end);
  auto alpha = channel(c.alpha());
  if (alpha < 65535)
    insert(list, background ? pango_attr_background_alpha_new(alpha) : pango_attr_foreground_alpha_new(alpha), start, end);
}

PangoUnderline underline(long style) {
  if (style == NSUnderlineStyleDouble) return PANGO_UNDERLINE_DOUBLE;
  return style ? PANGO_UNDERLINE_SINGLE : PANGO_UNDERLINE_NONE;
}

// The runs as Pango attributes over the UTF-8 text; answers the text and the alignment
// the first run's paragraph style asks for, if any.
std::string attributedText(const NSAttributedString& s, PangoAttrList* list, NSTextAlignment& alignment) {
  std::string text;
  bool first = true;
  for (const NSTextRun& run : s.runs()) {
    size_t start = text.size();
    text += run.text;
    size_t end = text.size();
    const NSTextAttributes& a = run.attributes;
    if (a.font) {
      PangoFontDescription* d = describe(*a.font);
      insert(list, pango_attr_font_desc_new(d), start, end);
      pango_font_description_free(d);
    }
    if (a.foregroundColor) addColour(list, *a.foregroundColor, start, end, false);
    if (a.backgroundColor && a.backgroundColor->alpha() > 0) addColour(list, *a.backgroundColor, start, end, true);
    if (a.underlineStyle && *a.underlineStyle) {
      insert(list, pango_attr_underline_new(underline(*a.underlineStyle)), start, end);
      if (a.underlineColor) {
        const UIColor& c = *a.underlineColor;
        insert(list, pango_attr_underline_color_new(channel(c.red()), channel(c.green()), channel(c.blue())), start, end);
      }
    }
    if (first && a.paragraphStyle && a.paragraphStyle->alignment != NSTextAlignmentNatural)
      alignment = a.paragraphStyle->alignment;
    first = false;
  }
  return text;
}

PangoEllipsizeMode ellipsis(NSLineBreakMode mode) {
  switch (mode) {
    case NSLineBreakByTruncatingHead: return PANGO_ELLIPSIZE_START;
    case NSLineBreakByTruncatingMiddle: return PANGO_ELLIPSIZE_MIDDLE;
    case NSLineBreakByTruncatingTail: return PANGO_ELLIPSIZE_END;
    default: return PANGO_ELLIPSIZE_NONE;
  }
}
}  // namespace

namespace {
// The paragraph set in `width`; null when it has no text.
PangoLayout* layOut(cairo_t* cr, const Paragraph& p, double width) {
  PangoLayout* layout = pango_cairo_create_layout(cr);
  PangoAttrList* list = pango_attr_list_new();
  NSTextAlignment alignment = p.alignment;
  std::string text = p.attributed ? attributedText(*p.attributed, list, alignment) : p.text;
  if (text.empty()) {
    pango_attr_list_unref(list);
    g_object_unref(layout);
    return nullptr;
  }
  if (p.underline) insert(list, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE), 0, text.size());
  PangoFontDescription* font = describe(p.font);
  pango_layout_set_font_description(layout, font);
  pango_font_description_free(font);
  pango_layout_set_text(layout, text.c_str(), int(text.size()));
  pango_layout_set_attributes(layout, list);
  pango_attr_list_unref(list);

  pango_layout_set_width(layout, int(width * PANGO_SCALE));
  pango_layout_set_wrap(layout, p.lineBreakMode == NSLineBreakByCharWrapping ? PANGO_WRAP_CHAR : PANGO_WRAP_WORD_CHAR);
  PangoEllipsizeMode mode = ellipsis(p.lineBreakMode);
  if (p.numberOfLines == 1) {
    // One line: a wrapping mode still keeps to it, cutting at the edge.
    pango_layout_set_ellipsize(layout, mode == PANGO_ELLIPSIZE_NONE ? PANGO_ELLIPSIZE_END : mode);
    pango_layout_set_height(layout, -1);
  } else if (p.numberOfLines > 1) {
    pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
    pango_layout_set_height(layout, -int(p.numberOfLines));
  }
  switch (alignment) {
    case NSTextAlignmentCenter: pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER); break;
    case NSTextAlignmentRight: pango_layout_set_alignment(layout, PANGO_ALIGN_RIGHT); break;
    case NSTextAlignmentJustified: pango_layout_set_justify(layout, TRUE); break;
    default: break;
  }
  return layout;
}
}  // namespace

double height(cairo_t* cr, const Paragraph& p, double width) {
  if (width <= 0) return 0;
  PangoLayout* layout = layOut(cr, p, width);
  if (!layout) return 0;
  int w = 0, h = 0;
  pango_layout_get_pixel_size(layout, &w, &h);
  g_object_unref(layout);
  return h;
}

namespace {
Recorder* gRecorder = nullptr;

// Large as readers of contrast count it (18 and 14 of print's points bold, in the
// screen's points): its smallest run decides.
bool isLarge(const Paragraph& p) {
  auto large = [](const UIFont& f) { return f.pointSize() >= 24 || (f.pointSize() >= 18.66 && f.weight() >= UIFontWeightBold); };
  if (!p.attributed) return large(p.font);
  for (const NSTextRun& run : p.attributed->runs())
    if (!large(run.attributes.font.value_or(p.font))) return false;
  return true;
}

// The paragraph on one line, unbounded: how wide its text is.
double naturalWidth(cairo_t* cr, const Paragraph& p) {
  Paragraph one = p;
  one.numberOfLines = 1;
  one.minimumScale = 1;
  PangoLayout* layout = layOut(cr, one, 1);
  if (!layout) return 0;
  pango_layout_set_width(layout, -1);
  pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_NONE);
  int w = 0, h = 0;
  pango_layout_get_pixel_size(layout, &w, &h);
  g_object_unref(layout);
  return w;
}
}  // namespace

Recorder::Recorder(bool withoutText) : withoutText_(withoutText) { gRecorder = this; }
Recorder::~Recorder() { gRecorder = nullptr; }
bool Recorder::recording() { return gRecorder != nullptr; }

namespace {
const void* gOwner = nullptr;

CGRect toDevice(cairo_t* cr, CGRect r) {
  double x0 = r.minX(), y0 = r.minY(), x1 = r.maxX(), y1 = r.maxY();
  cairo_user_to_device(cr, &x0, &y0);
  cairo_user_to_device(cr, &x1, &y1);
  return CGRect::make(std::min(x0, x1), std::min(y0, y1), std::abs(x1 - x0), std::abs(y1 - y0));
}

CGRect intersection(CGRect a, CGRect b) {
  double x0 = std::max(a.minX(), b.minX()), y0 = std::max(a.minY(), b.minY());
  double x1 = std::min(a.maxX(), b.maxX()), y1 = std::min(a.maxY(), b.maxY());
  return x1 > x0 && y1 > y0 ? CGRect::make(x0, y0, x1 - x0, y1 - y0) : CGRect{};
}
}  // namespace

const void* setOwner(const void* view) {
  const void* before = gOwner;
  gOwner = view;
  return before;
}

void note(cairo_t* cr, Record record) {
  if (!gRecorder) return;
  double x0, y0, x1, y1;
  cairo_clip_extents(cr, &x0, &y0, &x1, &y1);
  CGRect clip = toDevice(cr, CGRect::make(x0, y0, x1 - x0, y1 - y0));
  record.rect = intersection(toDevice(cr, record.rect), clip);
  record.ink = intersection(toDevice(cr, record.ink), clip);
  double sx = 1, sy = 0;
  cairo_user_to_device_distance(cr, &sx, &sy);
  record.naturalWidth *= std::hypot(sx, sy);
  record.owner = gOwner;
  gRecorder->records_.push_back(std::move(record));
}

void draw(cairo_t* cr, const Paragraph& given, CGRect rect, bool centreVertically) {
  if (rect.size.width <= 0 || rect.size.height <= 0) return;
  Paragraph p = given;
  PangoLayout* layout = layOut(cr, p, rect.size.width);
  if (!layout) return;
  double natural = 0;
  if (pango_layout_is_ellipsized(layout) || (gRecorder && p.numberOfLines == 1)) natural = naturalWidth(cr, p);
  if (p.numberOfLines == 1 && natural > rect.size.width) {
    if (natural <= rect.size.width + 3) {
      // A width measured at another scale than this drawing's can fall a point or two
      // short: the line overhangs its frame by as much rather than lose its end.
      double over = natural - rect.size.width;
      if (p.alignment == NSTextAlignmentCenter) rect.origin.x -= over / 2;
      else if (p.alignment == NSTextAlignmentRight) rect.origin.x -= over;
      rect.size.width = natural;
    } else if (p.minimumScale < 1) {
      p.font = p.font.fontWithSize(p.font.pointSize() * std::max(p.minimumScale, rect.size.width / natural));
    }
    g_object_unref(layout);
    layout = layOut(cr, p, rect.size.width);
    if (!layout) return;
  }
  int width = 0, height = 0;
  pango_layout_get_pixel_size(layout, &width, &height);
  double y = rect.origin.y;
  if (centreVertically && height < rect.size.height) y += (rect.size.height - height) / 2;
  const UIColor& c = p.color;
  cairo_save(cr);
  // One line keeps its ascenders and descenders where its frame is a little short.
  double top = rect.origin.y, bottom = rect.origin.y + rect.size.height;
  if (p.numberOfLines == 1) top = std::min(top, y), bottom = std::max(bottom, y + height);
  cairo_rectangle(cr, rect.origin.x, top, rect.size.width, bottom - top);
  cairo_clip(cr);
  cairo_set_source_rgba(cr, c.red(), c.green(), c.blue(), c.alpha());
  cairo_move_to(cr, rect.origin.x, y);
  if (!gRecorder || !gRecorder->withoutText()) pango_cairo_show_layout(cr, layout);
  if (gRecorder) {
    PangoRectangle ink;
    pango_layout_get_pixel_extents(layout, &ink, nullptr);
    // Cut: an ellipsis, or a line dropped below the frame (a line overhanging it a
    // little, as one line centred in a short frame does, is whole).
    int lines = std::max(1, pango_layout_get_line_count(layout));
    bool cut = pango_layout_is_ellipsized(layout) || height > rect.size.height + 0.5 * height / lines;
    note(cr, {p.mark ? Record::Icon : Record::Text, p.attributed ? p.attributed->string() : p.text, rect,
              CGRect::make(rect.origin.x + ink.x, y + ink.y, ink.width, ink.height), cut, natural, isLarge(p), p.inactive});
  }
  cairo_restore(cr);
  g_object_unref(layout);
}

namespace {
// Set as drawing sets it, on a context at the screen's scale, so that a width measured
// here holds the drawn text whole.
UIFont::Extent drawnExtent(const UIFont& font, const std::string& text, double width) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
  cairo_t* cr = cairo_create(surface);
  double scale = std::max(1.0, UIScreen::mainScreen().scale());
  cairo_scale(cr, scale, scale);
  PangoLayout* layout = pango_cairo_create_layout(cr);
  PangoFontDescription* d = describe(font);
  pango_layout_set_font_description(layout, d);
  pango_font_description_free(d);
  pango_layout_set_text(layout, text.c_str(), int(text.size()));
  if (width > 0) {
    pango_layout_set_width(layout, int(width * PANGO_SCALE));
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
  }
  PangoRectangle logical;
  pango_layout_get_extents(layout, nullptr, &logical);
  UIFont::Extent extent{std::ceil(double(logical.width) / PANGO_SCALE), pango_layout_get_line_count(layout)};
  g_object_unref(layout);
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  return extent;
}
}  // namespace

void measureAsDrawn(bool on) { UIFont::setTextMeasurer(on ? UIFont::Measurer(drawnExtent) : nullptr); }
}  // namespace TextDrawing
