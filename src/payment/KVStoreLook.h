#pragma once
// What the store screens share of their look: their colours in the light style (a grey
// background, white rows) and their result rows (icon, title, up to two lines of
// subtitle, a disclosure, no follow button, the separator hidden on the last row).
#include <cstdint>
#include <memory>

class KVPalette;
class KVPalettedViewController;
class SearchCell;

namespace KVStoreLook {
// The palette hook: the light style's overrides, reset for the others.
void paletteWillChangeToStyle(KVPalettedViewController& screen, uint32_t style);
void styleRow(SearchCell& cell, const std::shared_ptr<KVPalette>& palette, bool lastRow);
}  // namespace KVStoreLook
