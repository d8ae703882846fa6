#pragma once
// Lines of text set with Pango into a rectangle of a Cairo context: the fonts, weights,
// colours and underlines of attributed runs, the alignment, and the line limit with its
// truncation, as a label or a field shows them.
#include <cairo.h>

#include <string>

#include "uikit/NSAttributedString.h"
#include "uikit/NSParagraphStyle.h"
#include "uikit/UIColor.h"
#include "uikit/UIFont.h"
#include "uikit/UIGeometry.h"

namespace TextDrawing {
struct Paragraph {
  std::string text;                               // used when `attributed` is null
  const NSAttributedString* attributed = nullptr;  // its runs take the defaults below where they say nothing
  UIFont font;
  UIColor color = UIColor::blackColor();
  NSTextAlignment alignment = NSTextAlignmentNatural;
  long numberOfLines = 1;  // 0: as many as the text needs
  NSLineBreakMode lineBreakMode = NSLineBreakByTruncatingTail;
  bool underline = false;  // the whole text, as a link shows
};

// Draws the paragraph within `rect`, centred on its height as a label sets its text,
// or from the top. Nothing falls outside the rectangle's width; lines beyond the limit
// are dropped and the last one shows an ellipsis where the mode asks for one.
void draw(cairo_t* cr, const Paragraph& paragraph, CGRect rect, bool centreVertically = true);
// The height the paragraph takes set in `width`.
double height(cairo_t* cr, const Paragraph& paragraph, double width);

// Text is measured for sizes and layout with the faces that draw it (where a person
// watches), or again with the fixed advances every machine shares.
void measureAsDrawn(bool on);
}  // namespace TextDrawing
