#pragma once
// The pictures the screens name without pixels of their own worth showing (the system's
// symbols, the bars' system items, the tabs, the queue's state marks), drawn as glyphs
// of Material Icons, the icon font Debian ships in fonts-material-design-icons-iconfont.
#include <optional>
#include <string>

#include "uikit/UIColor.h"
#include "uikit/UIGeometry.h"

typedef struct _cairo cairo_t;

namespace IconGlyphs {
// The glyph (as UTF-8) that stands for a picture of this name, if any.
std::optional<std::string> glyphNamed(const std::string& name);

// The glyph as large as fits `box`, centred in it, in `colour`.
void draw(cairo_t* cr, const std::string& glyph, CGRect box, const UIColor& colour);
}  // namespace IconGlyphs
