#pragma once
// Lines of text set with Pango into a rectangle of a Cairo context: the fonts, weights,
// colours and underlines of attributed runs, the alignment, and the line limit with its
// truncation, as a label or a field shows them.
#include <cairo.h>

#include <string>
#include <vector>

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
  // One line too long for its width is set smaller, down to this share of its size (a
  // label that adjusts its font to fit); 1 keeps the size.
  double minimumScale = 1;
  bool inactive = false;  // a disabled control's, set back on purpose
  bool mark = false;      // a sign set as a letter (a row's chevron), recorded as an icon
};

// What one drawing put where, in the coordinates of the context's device (pixels of the
// picture), within what the clip leaves: a paragraph (the rectangle it was given, the box
// its ink covers, its text, whether lines were cut or dropped, how wide its text is on
// one line, whether it is set large: 24 points and over, or 18.7 bold, and whether it is
// a disabled control's), a glyph of the icon font, an opaque fill that hides what lies
// below, a picture (where it was placed), or a veil that sets back what lies below (the
// dimming under a sheet or an alert).
struct Record {
  enum Kind { Text, Icon, Fill, Image, Veil };
  Kind kind = Text;
  std::string text;
  CGRect rect, ink;
  bool cut = false;
  double naturalWidth = 0;
  bool large = false;
  bool inactive = false;
  const void* owner = nullptr;  // the view being drawn
};

// While one lives, every drawing is recorded, in order (one recorder at a time, on the
// main thread). A recorder `withoutText` keeps the paragraphs' glyphs off the picture
// (all else is drawn and recorded as ever): what lies behind each text.
class Recorder {
 public:
  explicit Recorder(bool withoutText = false);
  ~Recorder();
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;
  const std::vector<Record>& records() const { return records_; }
  bool withoutText() const { return withoutText_; }
  static bool recording();

 private:
  friend void note(cairo_t* cr, Record record);
  std::vector<Record> records_;
  bool withoutText_;
};
// Adds a record whose rectangles are in the context's user coordinates to the recorder
// that lives, if one does.
void note(cairo_t* cr, Record record);
// Names the view whose drawing the records that follow belong to; answers the one named
// before.
const void* setOwner(const void* view);

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
