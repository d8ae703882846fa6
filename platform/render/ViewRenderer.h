#pragma once
// Draws a view tree to pixels with Cairo and Pango, off any display: each visible view
// at its frame, with its background, alpha, corners, border, shadow and clipping, then
// what it shows (text, images, controls), then its subviews in order.
#include <optional>
#include <string>

#include "uikit/ImageCodec.h"
#include "uikit/UIColor.h"
#include "uikit/UIFont.h"
#include "uikit/UIImage.h"
#include "uikit/UIView.h"

typedef struct _cairo cairo_t;

namespace ViewRenderer {
// Draws the view and its subviews into the context, whose origin is the view's own
// top-left corner in points.
void draw(cairo_t* cr, const UIView& view);

// A rectangle with rounded corners as the current path (a square one at radius 0).
void roundedRect(cairo_t* cr, CGRect r, double radius);

// The view's top-left corner in its window (or topmost superview), in points.
CGPoint originInWindow(const UIView& view);

// An image placed in `box` by the content mode; a template image (or any, when
// `templated`) is drawn in the tint.
void drawImage(cairo_t* cr, const UIImage& image, CGRect box, UIViewContentMode mode, const UIColor& tint,
               bool templated = false);

// The view at `scale` pixels per point, over `ground` (transparent when none).
ImagePixels render(const UIView& view, double scale, std::optional<UIColor> ground = std::nullopt);

// The view as a PNG file at `scale`, over `ground`; an error message when the file
// cannot be written.
std::optional<std::string> writePNG(const UIView& view, double scale, const std::string& path,
                                    std::optional<UIColor> ground = std::nullopt);

// Readies the window's views for drawing after a layout: each navigation bar holds the
// title view of the screen it serves.
void settle(UIView& root);

// While one lives, screens are laid out as a person watching them sees them: content
// clear of the bars, text measured with the faces that draw it, and (when `animate`)
// animations playing over their durations. What was set before comes back after it,
// and every window is laid out again both times.
class Watched {
 public:
  explicit Watched(bool animate);
  ~Watched();
  Watched(const Watched&) = delete;
  Watched& operator=(const Watched&) = delete;

 private:
  bool clearOfBars_;
  bool animations_;
  UIFont::Measurer measurer_;
};
}  // namespace ViewRenderer
