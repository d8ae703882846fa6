#include "render/ViewRenderer.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "render/BarDrawing.h"
#include "render/IconGlyphs.h"
#include "render/ModalDrawing.h"
#include "render/PageDrawing.h"
#include "render/TextDrawing.h"
#include "uikit/UIActivityIndicatorView.h"
#include "uikit/UIButton.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UIPickerView.h"
#include "uikit/UIProgressView.h"
#include "uikit/UISearchBar.h"
#include "uikit/UISegmentedControl.h"
#include "uikit/UISwitch.h"
#include "uikit/UITableViewCell.h"
#include "uikit/UITextField.h"
#include "uikit/UITextView.h"
#include "uikit/UIVisualEffectView.h"
#include "uikit/UIWindow.h"

namespace ViewRenderer {
namespace {
using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
using Context = std::unique_ptr<cairo_t, decltype(&cairo_destroy)>;

void setColour(cairo_t* cr, const UIColor& c, double alpha = 1) {
  cairo_set_source_rgba(cr, c.red(), c.green(), c.blue(), c.alpha() * alpha);
}
}  // namespace

void roundedRect(cairo_t* cr, CGRect r, double radius) {
  radius = std::clamp(radius, 0.0, std::min(r.size.width, r.size.height) / 2);
  double x = r.origin.x, y = r.origin.y, w = r.size.width, h = r.size.height;
  if (radius <= 0) {
    cairo_rectangle(cr, x, y, w, h);
    return;
  }
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - radius, y + radius, radius, -M_PI / 2, 0);
  cairo_arc(cr, x + w - radius, y + h - radius, radius, 0, M_PI / 2);
  cairo_arc(cr, x + radius, y + h - radius, radius, M_PI / 2, M_PI);
  cairo_arc(cr, x + radius, y + radius, radius, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
}

namespace {
// Image pixels (straight alpha) as a Cairo surface (premultiplied, native order).
Surface surfaceOf(const ImagePixels& p) {
  Surface s(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, p.width, p.height), cairo_surface_destroy);
  cairo_surface_flush(s.get());
  unsigned char* data = cairo_image_surface_get_data(s.get());
  int stride = cairo_image_surface_get_stride(s.get());
  for (int y = 0; y < p.height; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(data + size_t(y) * size_t(stride));
    for (int x = 0; x < p.width; ++x) {
      const uint8_t* px = p.at(x, y);
      uint32_t a = px[3];
      auto pre = [a](uint32_t v) { return (v * a + 127) / 255; };
      row[x] = (a << 24) | (pre(px[0]) << 16) | (pre(px[1]) << 8) | pre(px[2]);
    }
  }
  cairo_surface_mark_dirty(s.get());
  return s;
}

// Where an image of `size` goes in `box` by the content mode.
CGRect placed(CGSize size, CGRect box, UIViewContentMode mode) {
  if (size.width <= 0 || size.height <= 0) return box;
  double sx = box.size.width / size.width, sy = box.size.height / size.height;
  double s = 1;
  switch (mode) {
    case UIViewContentModeScaleAspectFit: s = std::min(sx, sy); break;
    case UIViewContentModeScaleAspectFill: s = std::max(sx, sy); break;
    case UIViewContentModeCenter: s = 1; break;
    default: return box;
  }
  CGSize fitted{size.width * s, size.height * s};
  return {{box.origin.x + (box.size.width - fitted.width) / 2, box.origin.y + (box.size.height - fitted.height) / 2},
          fitted};
}

}  // namespace

void drawImage(cairo_t* cr, const UIImage& image, CGRect box, UIViewContentMode mode, const UIColor& tint,
               bool templated) {
  CGRect r = placed(image.size(), box, mode);
  if (r.size.width <= 0 || r.size.height <= 0) return;
  if (auto glyph = IconGlyphs::glyphNamed(image.name())) {
    // The icon font's shape, in the tint where the image takes one.
    bool original = image.renderingMode() == UIImageRenderingModeAlwaysOriginal && !templated;
    IconGlyphs::draw(cr, *glyph, r, original ? UIColor::colorWithWhite(0.35, 1) : tint);
    return;
  }
  templated = templated || image.renderingMode() == UIImageRenderingModeAlwaysTemplate || image.isSymbol();
  auto pixels = image.bitmap();
  if (!pixels || pixels->width <= 0 || pixels->height <= 0) {
    // A symbol has no pixels here: a ring of its tint keeps its place visible.
    if (image.isSymbol() && r.size.width > 2) {
      setColour(cr, tint);
      cairo_set_line_width(cr, 1.5);
      double radius = std::min(r.size.width, r.size.height) / 2 - 1;
      cairo_arc(cr, r.origin.x + r.size.width / 2, r.origin.y + r.size.height / 2, radius, 0, 2 * M_PI);
      cairo_stroke(cr);
    }
    return;
  }
  Surface s = surfaceOf(*pixels);
  cairo_save(cr);
  cairo_rectangle(cr, box.origin.x, box.origin.y, box.size.width, box.size.height);
  cairo_clip(cr);
  TextDrawing::note(cr, {TextDrawing::Record::Image, image.name(), r, r});
  cairo_translate(cr, r.origin.x, r.origin.y);
  cairo_scale(cr, r.size.width / pixels->width, r.size.height / pixels->height);
  if (templated) {
    setColour(cr, tint);
    cairo_mask_surface(cr, s.get(), 0, 0);
  } else {
    cairo_set_source_surface(cr, s.get(), 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_paint(cr);
  }
  cairo_restore(cr);
}

namespace {
TextDrawing::Paragraph paragraphOf(const UILabel& label) {
  TextDrawing::Paragraph p;
  p.text = label.text();
  p.attributed = label.attributedText() ? &*label.attributedText() : nullptr;
  p.font = label.font();
  p.color = label.isEnabled() ? label.textColor() : label.textColor().colorWithAlphaComponent(0.45);
  p.inactive = !label.isEnabled();
  p.alignment = label.textAlignment();
  p.numberOfLines = label.numberOfLines();
  p.lineBreakMode = label.lineBreakMode();
  if (label.adjustsFontSizeToFitWidth()) p.minimumScale = label.minimumScaleFactor() > 0 ? label.minimumScaleFactor() : 0.5;
  return p;
}

bool isEmpty(const CGRect& r) { return r.size.width <= 0 || r.size.height <= 0; }

void drawButton(cairo_t* cr, const UIButton& button, CGRect bounds) {
  // A button whose title and image views were never laid out shows them centred.
  UILabel* label = button.titleLabel();
  std::string title = button.currentTitle();
  auto image = button.currentImage();
  bool drawTitle = !title.empty() && (!label || isEmpty(label->frame()));
  bool drawIcon = image && (!button.imageView() || isEmpty(button.imageView()->frame()));
  double imageWidth = drawIcon ? std::min(image->size().width, bounds.size.width) : 0;
  UIColor colour = button.currentTitleColor().value_or(button.tintColor());
  if (!button.isEnabled()) colour = colour.colorWithAlphaComponent(colour.alpha() * 0.45);
  else if (button.isHighlighted()) colour = colour.colorWithAlphaComponent(colour.alpha() * 0.5);
  if (drawIcon) {
    double x = drawTitle ? bounds.origin.x + 4 : bounds.origin.x + (bounds.size.width - imageWidth) / 2;
    double h = std::min(image->size().height, bounds.size.height);
    drawImage(cr, *image, {{x, bounds.origin.y + (bounds.size.height - h) / 2}, {imageWidth, h}},
              UIViewContentModeScaleAspectFit, button.tintColor());
  }
  if (drawTitle) {
    TextDrawing::Paragraph p;
    p.text = title;
    if (label) p.font = label->font();
    p.color = colour;
    p.inactive = !button.isEnabled();
    p.alignment = NSTextAlignmentCenter;
    CGRect r = bounds;
    if (drawIcon) {
      r.origin.x += imageWidth + 8;
      r.size.width -= imageWidth + 8;
    }
    TextDrawing::draw(cr, p, r);
  }
}

void drawField(cairo_t* cr, const UITextField& field, CGRect bounds) {
  TextDrawing::Paragraph p;
  bool placeholder = field.text().empty();
  p.text = placeholder ? field.placeholder() : field.isSecureTextEntry() ? std::string(field.text().size(), '*') : field.text();
  p.font = field.font();
  // A placeholder's grey stands out from the field's ground, light or dark, by 4.5 to 1.
  bool dark = field.traitCollection().userInterfaceStyle == UIUserInterfaceStyleDark;
  p.color = placeholder ? UIColor::colorWithWhite(dark ? 0.65 : 0.4, 1) : field.textColor();
  CGRect r{{bounds.origin.x + 4, bounds.origin.y}, {bounds.size.width - 8, bounds.size.height}};
  TextDrawing::draw(cr, p, r);
  if (field.isEditing()) {
    // The caret after the text.
    double x = placeholder ? r.origin.x : std::min(r.origin.x + field.font().widthOfString(p.text), r.origin.x + r.size.width - 1);
    setColour(cr, field.tintColor());
    cairo_rectangle(cr, x, bounds.origin.y + bounds.size.height * 0.2, 2, bounds.size.height * 0.6);
    cairo_fill(cr);
  }
}

void drawSwitch(cairo_t* cr, const UISwitch& s, CGRect bounds) {
  CGRect track{bounds.origin, {std::min(51.0, bounds.size.width), std::min(31.0, bounds.size.height)}};
  double radius = track.size.height / 2;
  roundedRect(cr, track, radius);
  setColour(cr, s.isOn() ? s.onTintColor().value_or(UIColor::systemGreenColor()) : UIColor::colorWithWhite(0.9, 1));
  cairo_fill(cr);
  double knobX = s.isOn() ? track.origin.x + track.size.width - radius : track.origin.x + radius;
  cairo_arc(cr, knobX, track.origin.y + radius, radius - 2, 0, 2 * M_PI);
  setColour(cr, UIColor::whiteColor());
  cairo_fill(cr);
}

void drawProgress(cairo_t* cr, const UIProgressView& v, CGRect bounds) {
  double h = std::min(4.0, bounds.size.height);
  CGRect track{{bounds.origin.x, bounds.origin.y + (bounds.size.height - h) / 2}, {bounds.size.width, h}};
  roundedRect(cr, track, h / 2);
  setColour(cr, UIColor::colorWithWhite(0.85, 1));
  cairo_fill(cr);
  track.size.width *= std::clamp(double(v.progress()), 0.0, 1.0);
  roundedRect(cr, track, h / 2);
  setColour(cr, v.progressTintColor().value_or(v.tintColor()));
  cairo_fill(cr);
}

void drawSegments(cairo_t* cr, const UISegmentedControl& c, CGRect bounds) {
  size_t n = c.numberOfSegments();
  if (n == 0) return;
  UIColor tint = c.tintColor();
  roundedRect(cr, bounds, 7);
  setColour(cr, UIColor::colorWithWhite(0.93, 1));
  cairo_fill(cr);
  double w = bounds.size.width / double(n);
  for (size_t i = 0; i < n; ++i) {
    CGRect segment{{bounds.origin.x + w * double(i), bounds.origin.y}, {w, bounds.size.height}};
    if (long(i) == c.selectedSegmentIndex()) {
      roundedRect(cr, {{segment.origin.x + 2, segment.origin.y + 2}, {w - 4, segment.size.height - 4}}, 6);
      setColour(cr, UIColor::whiteColor());
      cairo_fill(cr);
    }
    TextDrawing::Paragraph p;
    p.text = c.titleForSegmentAtIndex(i);
    p.font = UIFont::systemFontOfSize(13, long(i) == c.selectedSegmentIndex() ? UIFontWeightSemibold : UIFontWeightRegular);
    p.color = UIColor::blackColor();
    p.alignment = NSTextAlignmentCenter;
    TextDrawing::draw(cr, p, segment);
  }
}

// The text from the top, under the inset, moved up as far as it is scrolled.
void drawTextView(cairo_t* cr, const UITextView& v, CGRect bounds) {
  TextDrawing::Paragraph p;
  p.attributed = v.attributedText().string().empty() ? nullptr : &v.attributedText();
  p.text = v.text();
  p.font = v.font();
  p.color = v.textColor();
  p.numberOfLines = 0;
  p.lineBreakMode = NSLineBreakByWordWrapping;
  UIEdgeInsets inset = v.textContainerInset();
  double width = bounds.size.width - inset.left - inset.right - 10;
  double height = TextDrawing::height(cr, p, width);
  if (height <= 0) return;
  cairo_save(cr);
  cairo_rectangle(cr, bounds.origin.x, bounds.origin.y, bounds.size.width, bounds.size.height);
  cairo_clip(cr);
  TextDrawing::draw(cr, p, {{bounds.origin.x + inset.left + 5, bounds.origin.y + inset.top - v.contentOffset().y}, {width, height}}, false);
  cairo_restore(cr);
}

// The bar's rounded field with its magnifier, and its Cancel while it shows one; the
// text is the field's own.
void drawSearchBar(cairo_t* cr, const UISearchBar& bar) {
  bool dark = bar.traitCollection().userInterfaceStyle == UIUserInterfaceStyleDark;
  CGRect field = bar.fieldBackgroundRect();
  roundedRect(cr, field, 10);
  setColour(cr, dark ? UIColor::colorWithWhite(1, 0.12) : UIColor::colorWithRed(0.46, 0.46, 0.5, 0.12));
  cairo_fill(cr);
  UIColor grey = UIColor::colorWithWhite(0.55, 1);
  if (auto glyph = IconGlyphs::glyphNamed("magnifyingglass"))
    IconGlyphs::draw(cr, *glyph, {{field.minX() + 6, field.minY() + (field.height() - 20) / 2}, {20, 20}}, grey);
  if (bar.showsCancelButton()) {
    TextDrawing::Paragraph cancel;
    cancel.text = "Cancel";
    cancel.font = UIFont::systemFontOfSize(17);
    cancel.color = bar.tintColor();
    cancel.alignment = NSTextAlignmentCenter;
    TextDrawing::draw(cr, cancel, bar.cancelButtonRect());
  }
}

// A blurred backdrop as the veil of its style over what lies below (no blur).
void drawBackdrop(cairo_t* cr, const UIVisualEffectView& v, CGRect bounds) {
  if (!v.effect()) return;
  bool dark = *v.effect() == UIBlurEffectStyleDark ||
              ((*v.effect() == UIBlurEffectStyleRegular || *v.effect() == UIBlurEffectStyleProminent) &&
               v.traitCollection().userInterfaceStyle == UIUserInterfaceStyleDark);
  double alpha = dark ? 0.5 : *v.effect() == UIBlurEffectStyleExtraLight ? 0.8 : 0.6;
  cairo_rectangle(cr, bounds.origin.x, bounds.origin.y, bounds.size.width, bounds.size.height);
  cairo_set_source_rgba(cr, dark ? 0 : 1, dark ? 0 : 1, dark ? 0 : 1, alpha);
  cairo_fill(cr);
  TextDrawing::note(cr, {TextDrawing::Record::Veil, {}, bounds, bounds});  // what lies below is blurred on purpose
}

// A row's accessory that is no view: the disclosure chevron, the checkmark, the info mark.
void drawAccessory(cairo_t* cr, const UITableViewCell& cell, CGRect bounds) {
  if (cell.accessoryView() || cell.accessoryType() == UITableViewCellAccessoryNone) return;
  bool check = cell.accessoryType() == UITableViewCellAccessoryCheckmark;
  bool info = cell.accessoryType() == UITableViewCellAccessoryDetailButton ||
              cell.accessoryType() == UITableViewCellAccessoryDetailDisclosureButton;
  TextDrawing::Paragraph p;
  p.text = check ? "\u2713" : info ? "\u24d8" : "\u203a";
  p.font = UIFont::systemFontOfSize(check || info ? 18 : 24, check ? UIFontWeightSemibold : UIFontWeightRegular);
  p.color = check || info ? cell.tintColor() : UIColor::colorWithWhite(0.75, 1);
  p.mark = true;
  p.alignment = NSTextAlignmentCenter;
  TextDrawing::draw(cr, p, {{bounds.origin.x + bounds.size.width - 34, bounds.origin.y}, {26, bounds.size.height}});
}

// The spinning wheel, still: twelve spokes fading round from the top.
void drawActivity(cairo_t* cr, const UIActivityIndicatorView& v, CGRect bounds) {
  UIColor colour = v.color().value_or(UIColor::colorWithWhite(0.55, 1));
  double cx = bounds.origin.x + bounds.size.width / 2, cy = bounds.origin.y + bounds.size.height / 2;
  double outer = std::min(std::min(bounds.size.width, bounds.size.height) / 2, 18.0);
  if (outer <= 0) outer = 10;
  cairo_save(cr);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_width(cr, std::max(1.5, outer * 0.2));
  for (int i = 0; i < 12; ++i) {
    double angle = -M_PI / 2 + i * M_PI / 6;
    cairo_move_to(cr, cx + std::cos(angle) * outer * 0.5, cy + std::sin(angle) * outer * 0.5);
    cairo_line_to(cr, cx + std::cos(angle) * outer * 0.9, cy + std::sin(angle) * outer * 0.9);
    setColour(cr, colour, 1 - i * 0.07);
    cairo_stroke(cr);
  }
  cairo_restore(cr);
}

// The wheel: the chosen row of each component in a band across the middle, the rows
// around it fading with their distance, each in the colour its title asks for.
void drawPicker(cairo_t* cr, const UIPickerView& picker, CGRect bounds) {
  bool dark = picker.traitCollection().userInterfaceStyle == UIUserInterfaceStyleDark;
  UIColor ink = dark ? UIColor::whiteColor() : UIColor::blackColor();
  for (long component = 0; component < picker.numberOfComponents(); ++component) {
    long chosen = picker.selectedRowInComponent(component);
    long rows = picker.numberOfRowsInComponent(component);
    CGRect band = picker.rectForRow(chosen, component);
    roundedRect(cr, {{band.minX() + 8, band.minY()}, {band.width() - 16, band.height()}}, 8);
    setColour(cr, dark ? UIColor::colorWithWhite(1, 0.14) : UIColor::colorWithRed(0.46, 0.46, 0.5, 0.14));
    cairo_fill(cr);
    for (long row = 0; row < rows; ++row) {
      CGRect r = picker.rectForRow(row, component);
      if (r.minY() < bounds.minY() || r.maxY() > bounds.maxY()) continue;  // only rows shown whole
      NSAttributedString title = picker.attributedTitleForRow(row, component);
      long distance = std::abs(row - chosen);
      TextDrawing::Paragraph p;
      p.text = title.string();
      p.font = UIFont::systemFontOfSize(20, distance == 0 ? UIFontWeightMedium : UIFontWeightRegular);
      UIColor colour = title.length() > 0 ? title.attributesAtIndex(0).foregroundColor.value_or(ink) : ink;
      p.color = colour.colorWithAlphaComponent(colour.alpha() * (distance == 0 ? 1 : distance == 1 ? 0.6 : 0.35));
      p.alignment = NSTextAlignmentCenter;
      TextDrawing::draw(cr, p, {{r.minX() + 16, r.minY()}, {r.width() - 32, r.height()}});
    }
  }
}

// What the view itself shows, over its background and under its subviews.
void drawContent(cairo_t* cr, const UIView& view, CGRect bounds) {
  if (const UIAlertController* alert = ModalDrawing::alertOf(view)) ModalDrawing::drawAlert(cr, *alert, view);
  if (auto* browser = dynamic_cast<const SFSafariViewController*>(view.owningViewController()))
    PageDrawing::drawBrowserBar(cr, *browser, view, bounds);
  if (auto* label = dynamic_cast<const UILabel*>(&view)) {
    TextDrawing::draw(cr, paragraphOf(*label), bounds);
  } else if (auto* imageView = dynamic_cast<const UIImageView*>(&view)) {
    auto image = imageView->isHighlighted() && imageView->highlightedImage() ? imageView->highlightedImage() : imageView->image();
    if (image) drawImage(cr, *image, bounds, view.contentMode(), view.tintColor());
  } else if (auto* button = dynamic_cast<const UIButton*>(&view)) {
    drawButton(cr, *button, bounds);
  } else if (auto* field = dynamic_cast<const UITextField*>(&view)) {
    drawField(cr, *field, bounds);
  } else if (auto* toggle = dynamic_cast<const UISwitch*>(&view)) {
    drawSwitch(cr, *toggle, bounds);
  } else if (auto* progress = dynamic_cast<const UIProgressView*>(&view)) {
    drawProgress(cr, *progress, bounds);
  } else if (auto* segments = dynamic_cast<const UISegmentedControl*>(&view)) {
    drawSegments(cr, *segments, bounds);
  } else if (auto* search = dynamic_cast<const UISearchBar*>(&view)) {
    drawSearchBar(cr, *search);
  } else if (auto* navigationBar = dynamic_cast<const UINavigationBar*>(&view)) {
    BarDrawing::drawNavigationBar(cr, *navigationBar);
  } else if (auto* tabBar = dynamic_cast<const UITabBar*>(&view)) {
    BarDrawing::drawTabBar(cr, *tabBar);
  } else if (auto* cell = dynamic_cast<const UITableViewCell*>(&view)) {
    drawAccessory(cr, *cell, bounds);
  } else if (auto* activity = dynamic_cast<const UIActivityIndicatorView*>(&view)) {
    drawActivity(cr, *activity, bounds);
  } else if (auto* backdrop = dynamic_cast<const UIVisualEffectView*>(&view)) {
    drawBackdrop(cr, *backdrop, bounds);
  } else if (auto* textView = dynamic_cast<const UITextView*>(&view)) {
    drawTextView(cr, *textView, bounds);
  } else if (auto* page = dynamic_cast<const WebContentView*>(&view)) {
    PageDrawing::drawWebPage(cr, *page);
  } else if (auto* picker = dynamic_cast<const UIPickerView*>(&view)) {
    drawPicker(cr, *picker, bounds);
  }
}

// What a view shows over its subviews, in its content's coordinates.
void drawOverSubviews(cairo_t* cr, const UIView& view) {
  if (auto* table = dynamic_cast<const UITableView*>(&view)) PageDrawing::drawTableDecorations(cr, const_cast<UITableView&>(*table));
}

void drawShadow(cairo_t* cr, const CALayer& layer, CGRect local) {
  if (!layer.shadowColor || layer.shadowOpacity <= 0) return;
  CGRect r = layer.shadowPath ? layer.shadowPath->rect : local;
  double radius = layer.shadowPath ? layer.shadowPath->cornerRadius : layer.cornerRadius;
  r.origin.x += layer.shadowOffset.width;
  r.origin.y += layer.shadowOffset.height;
  // The blur as a few widening rings of falling opacity.
  int steps = std::clamp(int(std::ceil(layer.shadowRadius)), 1, 8);
  for (int i = steps; i >= 1; --i) {
    double grow = layer.shadowRadius * double(i) / double(steps);
    roundedRect(cr, {{r.origin.x - grow, r.origin.y - grow}, {r.size.width + 2 * grow, r.size.height + 2 * grow}},
                radius + grow);
    setColour(cr, *layer.shadowColor, layer.shadowOpacity / double(steps + 1));
    cairo_fill(cr);
  }
  roundedRect(cr, r, radius);
  setColour(cr, *layer.shadowColor, layer.shadowOpacity / double(steps + 1));
  cairo_fill(cr);
}

// Whether nothing of the view (at the context's origin) can show: it and all it holds
// lie outside what the context still draws, as rows scrolled far out of a list do.
bool outsideClip(cairo_t* cr, const UIView& view) {
  if (!view.transform().isIdentity() || (!view.layer().masksToBounds && !view.subviews().empty())) return false;
  const CALayer& layer = view.layer();
  double margin = layer.shadowColor && layer.shadowOpacity > 0
                      ? layer.shadowRadius + std::abs(layer.shadowOffset.width) + std::abs(layer.shadowOffset.height) + 2
                      : 1;
  double x1, y1, x2, y2;
  cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
  CGSize size = view.frame().size;
  return size.width + margin < x1 || size.height + margin < y1 || -margin > x2 || -margin > y2;
}

void drawTree(cairo_t* cr, const UIView& view) {
  if (view.isHidden() || view.alpha() <= 0.01) return;
  const CGAffineTransform& t = view.transform();
  // A view scaled to nothing shows nothing; drawing it would leave the context unusable.
  if (std::abs(t.a * t.d - t.b * t.c) < 1e-9) return;
  CGRect local{{0, 0}, view.frame().size};
  const CALayer& layer = view.layer();
  cairo_save(cr);
  if (!t.isIdentity()) {
    // About the view's centre, as the platform turns and scales a view.
    double cx = local.size.width / 2, cy = local.size.height / 2;
    cairo_translate(cr, cx, cy);
    cairo_matrix_t m{t.a, t.b, t.c, t.d, t.tx, t.ty};
    cairo_transform(cr, &m);
    cairo_translate(cr, -cx, -cy);
  }
  bool group = view.alpha() < 1;
  if (group) cairo_push_group(cr);
  if (ModalDrawing::isSheet(view)) {
    // A sheet's top corners are rounded; its bottom runs off the screen.
    roundedRect(cr, {{0, 0}, {local.size.width, local.size.height + 12}}, 10);
    cairo_clip(cr);
  }
  drawShadow(cr, layer, local);
  const void* owner = TextDrawing::setOwner(&view);
  if (const auto& background = view.backgroundColor(); background && background->alpha() > 0) {
    roundedRect(cr, local, layer.cornerRadius);
    setColour(cr, *background);
    cairo_fill(cr);
    if (background->alpha() * view.alpha() >= 0.9 && TextDrawing::Recorder::recording()) {
      // Its corners aside, what the view paints hides what lies below: the cross between
      // its corners, up to its edges.
      double corner = std::min(layer.cornerRadius, std::min(local.size.width, local.size.height) / 2) * 0.3;
      CGRect across{{0, corner}, {local.size.width, local.size.height - 2 * corner}};
      CGRect down{{corner, 0}, {local.size.width - 2 * corner, local.size.height}};
      TextDrawing::note(cr, {TextDrawing::Record::Fill, {}, across, across});
      if (corner > 0) TextDrawing::note(cr, {TextDrawing::Record::Fill, {}, down, down});
    }
  }
  cairo_save(cr);
  if (layer.masksToBounds) {
    roundedRect(cr, local, layer.cornerRadius);
    cairo_clip(cr);
  }
  drawContent(cr, view, local);
  CGRect bounds = view.bounds();
  for (const auto& sub : view.subviews()) {
    if (!sub->isHidden()) ModalDrawing::drawDimming(cr, *sub, local);
    cairo_save(cr);
    cairo_translate(cr, sub->frame().origin.x - bounds.origin.x, sub->frame().origin.y - bounds.origin.y);
    if (!outsideClip(cr, *sub)) drawTree(cr, *sub);
    cairo_restore(cr);
  }
  cairo_save(cr);
  cairo_translate(cr, -bounds.origin.x, -bounds.origin.y);
  drawOverSubviews(cr, view);
  cairo_restore(cr);
  cairo_restore(cr);
  if (layer.borderWidth > 0 && layer.borderColor) {
    double inset = layer.borderWidth / 2;
    roundedRect(cr, {{inset, inset}, {local.size.width - layer.borderWidth, local.size.height - layer.borderWidth}},
                std::max(0.0, layer.cornerRadius - inset));
    setColour(cr, *layer.borderColor);
    cairo_set_line_width(cr, layer.borderWidth);
    cairo_stroke(cr);
  }
  if (group) {
    cairo_pop_group_to_source(cr);
    cairo_paint_with_alpha(cr, view.alpha());
  }
  TextDrawing::setOwner(owner);
  cairo_restore(cr);
}

Surface renderSurface(const UIView& view, double scale, const std::optional<UIColor>& ground) {
  CGSize size = view.frame().size;
  int width = std::max(1, int(std::lround(size.width * scale)));
  int height = std::max(1, int(std::lround(size.height * scale)));
  Surface surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height), cairo_surface_destroy);
  Context cr(cairo_create(surface.get()), cairo_destroy);
  if (ground) {
    setColour(cr.get(), *ground);
    cairo_paint(cr.get());
  }
  cairo_scale(cr.get(), scale, scale);
  drawTree(cr.get(), view);
  cairo_surface_flush(surface.get());
  return surface;
}
}  // namespace

void draw(cairo_t* cr, const UIView& view) { drawTree(cr, view); }

void settle(UIView& root) {
  if (auto* bar = dynamic_cast<UINavigationBar*>(&root)) BarDrawing::hostViews(*bar);
  auto subviews = root.subviews();  // a bar takes its title view in
  for (const auto& sub : subviews)
    if (!sub->isHidden()) settle(*sub);
}

CGPoint originInWindow(const UIView& view) {
  CGPoint p = view.frame().origin;
  for (const UIView* s = view.superview(); s; s = s->superview()) {
    p.x += s->frame().origin.x - s->bounds().origin.x;
    p.y += s->frame().origin.y - s->bounds().origin.y;
  }
  return p;
}

ImagePixels render(const UIView& view, double scale, std::optional<UIColor> ground) {
  Surface surface = renderSurface(view, scale, ground);
  ImagePixels out;
  out.width = cairo_image_surface_get_width(surface.get());
  out.height = cairo_image_surface_get_height(surface.get());
  out.rgba.resize(size_t(out.width) * size_t(out.height) * 4);
  const unsigned char* data = cairo_image_surface_get_data(surface.get());
  int stride = cairo_image_surface_get_stride(surface.get());
  for (int y = 0; y < out.height; ++y) {
    auto* row = reinterpret_cast<const uint32_t*>(data + size_t(y) * size_t(stride));
    for (int x = 0; x < out.width; ++x) {
      uint32_t px = row[x];
      uint32_t a = px >> 24;
      auto straight = [a](uint32_t v) { return a == 0 ? 0u : std::min(255u, (v * 255 + a / 2) / a); };
      uint8_t* o = out.rgba.data() + (size_t(y) * size_t(out.width) + size_t(x)) * 4;
      o[0] = uint8_t(straight((px >> 16) & 0xff));
      o[1] = uint8_t(straight((px >> 8) & 0xff));
      o[2] = uint8_t(straight(px & 0xff));
      o[3] = uint8_t(a);
    }
  }
  return out;
}

std::optional<std::string> writePNG(const UIView& view, double scale, const std::string& path,
                                    std::optional<UIColor> ground) {
  Surface surface = renderSurface(view, scale, ground);
  cairo_status_t status = cairo_surface_write_to_png(surface.get(), path.c_str());
  if (status != CAIRO_STATUS_SUCCESS) return std::string(cairo_status_to_string(status));
  return std::nullopt;
}

Watched::Watched(bool animate)
    : clearOfBars_(UIView::contentKeepsClearOfBars()),
      animations_(UIView::animationsPlayOverTime()),
      measurer_(UIFont::textMeasurer()) {
  UIView::setContentKeepsClearOfBars(true);
  if (animate) UIView::setAnimationsPlayOverTime(true);
  TextDrawing::measureAsDrawn(true);
  UIWindow::layoutAllWindows();
  if (UIWindow* key = UIWindow::keyWindow()) settle(*key);
}

Watched::~Watched() {
  UIView::setContentKeepsClearOfBars(clearOfBars_);
  UIView::setAnimationsPlayOverTime(animations_);
  UIFont::setTextMeasurer(measurer_);
  UIWindow::layoutAllWindows();
}
}  // namespace ViewRenderer
