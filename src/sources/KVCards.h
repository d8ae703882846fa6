#pragma once
// The rounded card the sources, changes and search tabs group their tables in: corner
// radius 20, a soft shadow all round (radius 12, opacity 0.25, no offset) along the
// card's own rounded outline, in the palette's shadow colour.
#include <memory>

class KVPalette;
class UIView;

namespace KVCards {
void applyShadow(UIView& card, const std::shared_ptr<KVPalette>& palette);
}  // namespace KVCards
