#include "sources/KVCards.h"

#include "interface/KVPalette.h"
#include "uikit/UIView.h"

void KVCards::applyShadow(UIView& card, const std::shared_ptr<KVPalette>& palette) {
  CALayer& layer = card.layer();
  layer.cornerRadius = 20;
  layer.shadowRadius = 12;
  layer.shadowOpacity = 0.25;
  layer.shadowOffset = {0, 0};
  layer.shadowPath = CGRoundedRectPath{card.bounds(), layer.cornerRadius};
  if (palette) layer.shadowColor = palette->shadowColor();
}
