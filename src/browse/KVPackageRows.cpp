#include "browse/KVPackageRows.h"

#include "database/KVRPackage.h"
#include "database/KVRPackages.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "interface/KVApplicationActions.h"
#include "interface/KVPackageIcons.h"
#include "interface/KVPalette.h"
#include "interface/PackageCell.h"
#include "uikit/UIContextualAction.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"

void KVPackageRows::fill(PackageCell& cell, const std::string& identifier, const std::shared_ptr<KVPalette>& palette,
                         bool realIcon, bool lastInSection) {
  cell.setBackgroundColor(UIColor::clearColor());
  std::optional<KVRPackage> package = KVRPackage::objectForPrimaryKey(identifier);
  if (!package) {
    // Deleted since the list was built: the row stays, empty.
    package = KVRPackage();
    package->setIdentifier(identifier);
  }
  cell.updateWithPackage(*package);
  cell.updateQueuingIconWithPackage(package);
  cell.updateConpatibilityIndicatorWithPackageIdentifier(identifier, package->version().value_or(""));
  cell.setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
  if (palette) cell.nameLbl()->setTextColor(package->isFree() ? palette->primaryTextColor() : palette->paidTextColor());
  if (realIcon || KVPackageIcons::cachedIconExistsForIdentifier(identifier))
    cell.iconView()->setImage(KVPackageIcons::iconForIdentifier(identifier));
  else
    cell.iconView()->setImage(KVPackageIcons::categoryIconForIdentifier(identifier));
  cell.separator()->setHidden(lastInSection);
}

std::vector<std::shared_ptr<UITableViewRowAction>> KVPackageRows::swipeActions(const KVScreenContext& context,
                                                                              UITableView& table,
                                                                              const std::string& identifier,
                                                                              std::function<void()> after) {
  auto package = KVRPackage::objectForPrimaryKey(identifier);
  if (!package) return {};
  // The row's mark, drawn again from the record as it is after the change. The table
  // owns the action, so it outlives neither.
  auto redraw = [table = &table](const NSIndexPath& path) {
    if (auto cell = std::dynamic_pointer_cast<PackageCell>(table->cellForRowAtIndexPath(path)))
      cell->updateQueuingIconWithPackage(KVRPackage::objectForPrimaryKey(cell->packageIdentifier()));
  };
  std::shared_ptr<UITableViewRowAction> action;
  if (package->isInTheQueue().value_or(false)) {
    action = UITableViewRowAction::rowActionWithStyle(
        UITableViewRowActionStyleNormal, NSLocalizedString("Remove"),
        [context, identifier, redraw, after](UITableViewRowAction&, const NSIndexPath& path) {
          if (auto package = KVRPackage::objectForPrimaryKey(identifier))
            if (ErrorRef error = context.packages->setPackageObject(*package, false, std::nullopt, 0))
              KVLog("The queue state of %s could not be written: %s", identifier.c_str(), error->localizedDescription().c_str());
          redraw(path);
          if (after) after();
        });
    action->setBackgroundColor(UIColor::systemRedColor());
  } else {
    action = UITableViewRowAction::rowActionWithStyle(
        UITableViewRowActionStyleNormal, NSLocalizedString("Queue"),
        [context, identifier, redraw, after](UITableViewRowAction&, const NSIndexPath& path) {
          context.actions->queuePackageWithIdentifier(identifier, std::nullopt, {});
          redraw(path);
          if (after) after();
        });
    action->setBackgroundColor(UIColor::colorWithRed(0, 0.67, 0.88, 1));
  }
  return {action};
}

void KVPackageRows::showRealIcons(UITableView& table) {
  for (const auto& cell : table.visibleCells())
    if (auto row = std::dynamic_pointer_cast<PackageCell>(cell))
      row->iconView()->setImage(KVPackageIcons::iconForIdentifier(row->packageIdentifier()));
}
