#include "render/ModalDrawing.h"

#include <algorithm>
#include <cmath>

#include "render/TextDrawing.h"
#include "render/ViewRenderer.h"

namespace ModalDrawing {
namespace {
void fill(cairo_t* cr, const UIColor& c) {
  cairo_set_source_rgba(cr, c.red(), c.green(), c.blue(), c.alpha());
  cairo_fill(cr);
}

bool isDark(const UIView& view) { return view.traitCollection().userInterfaceStyle == UIUserInterfaceStyleDark; }

UIColor actionColour(const UIAlertAction& action, const UIColor& tint, bool dark) {
  if (!action.isEnabled()) return UIColor::colorWithWhite(0.6, 1);
  // The platform's red stands out from the light card and the dark one by 3.3 and 4 to 1:
  // a deeper red on the light card, a lighter one on the dark.
  if (action.style() == UIAlertActionStyleDestructive)
    return dark ? UIColor::colorWithRed(1, 0.45, 0.42, 1) : UIColor::colorWithRed(0.8, 0.1, 0.08, 1);
  return tint;
}
}  // namespace

const UIAlertController* alertOf(const UIView& view) {
  auto* alert = dynamic_cast<const UIAlertController*>(view.owningViewController());
  return alert && alert->presentingViewController() ? alert : nullptr;
}

bool isSheet(const UIView& view) {
  const UIViewController* c = view.owningViewController();
  if (!c || !c->presentingViewController() || alertOf(view)) return false;
  auto style = c->effectivePresentationStyle();
  return style == UIModalPresentationPageSheet || style == UIModalPresentationFormSheet;
}

void drawDimming(cairo_t* cr, const UIView& presented, CGRect area) {
  double alpha = 0;
  if (const UIAlertController* alert = alertOf(presented))
    alpha = alert->preferredStyle() == UIAlertControllerStyleAlert ? 0.2 : 0.35;
  else if (isSheet(presented))
    alpha = 0.4;
  if (alpha <= 0) return;
  cairo_rectangle(cr, area.origin.x, area.origin.y, area.size.width, area.size.height);
  cairo_set_source_rgba(cr, 0, 0, 0, alpha);
  cairo_fill(cr);
  TextDrawing::note(cr, {TextDrawing::Record::Veil, {}, area, area});
}

void drawAlert(cairo_t* cr, const UIAlertController& alert, const UIView& view) {
  UIAlertCardLayout layout = alert.cardLayout();
  bool dark = isDark(view);
  bool sheet = alert.preferredStyle() == UIAlertControllerStyleActionSheet;
  UIColor card = dark ? UIColor::colorWithWhite(0.17, 1) : UIColor::colorWithWhite(0.97, 1);
  UIColor text = dark ? UIColor::whiteColor() : UIColor::blackColor();
  UIColor subdued = UIColor::colorWithWhite(dark ? 0.6 : 0.42, 1);  // 4.5 to 1 and more from the card
  UIColor hairline = dark ? UIColor::colorWithWhite(1, 0.15) : UIColor::colorWithWhite(0, 0.15);
  double radius = sheet ? 13 : 14;
  for (const CGRect& r : {layout.card, layout.cancelCard}) {
    if (r.size.width <= 0 || r.size.height <= 0) continue;
    ViewRenderer::roundedRect(cr, r, radius);
    fill(cr, r.minY() == layout.cancelCard.minY() && sheet ? (dark ? UIColor::colorWithWhite(0.11, 1) : UIColor::whiteColor()) : card);
    TextDrawing::note(cr, {TextDrawing::Record::Fill, {}, r, r});
  }

  TextDrawing::Paragraph p;
  p.alignment = NSTextAlignmentCenter;
  p.numberOfLines = 0;
  p.lineBreakMode = NSLineBreakByWordWrapping;
  if (alert.alertTitle()) {
    p.text = *alert.alertTitle();
    p.font = sheet ? UIFont::systemFontOfSize(13, UIFontWeightSemibold) : UIFont::systemFontOfSize(17, UIFontWeightSemibold);
    p.color = sheet ? subdued : text;
    TextDrawing::draw(cr, p, layout.title, false);
  }
  if (alert.message()) {
    p.text = *alert.message();
    p.font = UIFont::systemFontOfSize(13);
    p.color = sheet ? subdued : text;
    TextDrawing::draw(cr, p, layout.message, false);
  }
  for (const CGRect& field : layout.fields) {
    ViewRenderer::roundedRect(cr, field, 5);
    fill(cr, dark ? UIColor::colorWithWhite(0.1, 1) : UIColor::whiteColor());
    ViewRenderer::roundedRect(cr, {{field.minX() + 0.25, field.minY() + 0.25}, {field.width() - 0.5, field.height() - 0.5}}, 5);
    cairo_set_source_rgba(cr, hairline.red(), hairline.green(), hairline.blue(), hairline.alpha() * 2);
    cairo_set_line_width(cr, 0.5);
    cairo_stroke(cr);
  }

  const auto& actions = alert.actions();
  for (size_t i = 0; i < actions.size() && i < layout.buttons.size(); ++i) {
    const UIAlertAction& action = *actions[i];
    CGRect b = layout.buttons[i];
    bool inCancelCard = layout.cancelCard.size.height > 0 && b.minY() >= layout.cancelCard.minY();
    // A hairline above each row of the card, and between two actions side by side.
    if (!(inCancelCard && b.minY() == layout.cancelCard.minY()) && b.minY() > layout.card.minY()) {
      cairo_rectangle(cr, b.minX(), b.minY(), b.width(), 0.5);
      fill(cr, hairline);
    }
    if (layout.sideBySide && b.minX() > layout.card.minX()) {
      cairo_rectangle(cr, b.minX(), b.minY(), 0.5, b.height());
      fill(cr, hairline);
    }
    p.text = action.title();
    p.numberOfLines = 1;
    bool bold = action.style() == UIAlertActionStyleCancel || alert.preferredAction().get() == &action;
    p.font = UIFont::systemFontOfSize(sheet ? 20 : 17, bold ? UIFontWeightSemibold : UIFontWeightRegular);
    p.color = actionColour(action, view.tintColor(), dark);
    p.inactive = !action.isEnabled();
    TextDrawing::draw(cr, p, {{b.minX() + 8, b.minY()}, {b.width() - 16, b.height()}});
  }
}
}  // namespace ModalDrawing
