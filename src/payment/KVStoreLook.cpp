#include "payment/KVStoreLook.h"

#include "interface/KVPalettedViewController.h"
#include "interface/SearchCell.h"
#include "uikit/UIButton.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"

namespace KVStoreLook {

void paletteWillChangeToStyle(KVPalettedViewController& screen, uint32_t style) {
  screen.useGroupedLightColorsForStyle(style);
}

void styleRow(SearchCell& cell, const std::shared_ptr<KVPalette>& palette, bool lastRow) {
  cell.setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
  cell.followBtn()->setHidden(true);
  cell.iconView()->setClipsToBounds(true);
  cell.iconView()->layer().cornerRadius = 8.948;
  cell.iconView()->setContentMode(UIViewContentModeScaleAspectFit);
  cell.subinfoLbl()->setNumberOfLines(2);
  if (palette) {
    cell.nameLbl()->setTextColor(palette->primaryTextColor());
    cell.subinfoLbl()->setTextColor(palette->secondaryTextColor());
    cell.setBackgroundColor(palette->cellBackgroundColor());
  }
  cell.separator()->setHidden(lastRow);
}

}  // namespace KVStoreLook
