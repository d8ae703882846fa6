#pragma once
// What every list of package rows does alike: a row filled from its package's record
// (name coloured by price, the queue and compatibility marks, a disclosure, the icon or,
// while the list scrolls away from its top, only an icon already cached), and the swipe
// that queues a package or takes it out of the queue.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "interface/KVScreenContext.h"
#include "uikit/UITableView.h"

class KVPalette;
class PackageCell;

namespace KVPackageRows {

// `realIcon`: the package's icon (which may start its download); otherwise only a cached
// one, else the category's picture.
void fill(PackageCell& cell, const std::string& identifier, const std::shared_ptr<KVPalette>& palette, bool realIcon,
          bool lastInSection);

// Once the list stops scrolling: every package row in sight takes its real icon.
void showRealIcons(UITableView& table);

// "Remove" (red) for a queued package, "Queue" otherwise; each redraws the row's mark
// after its change and then runs `after`. None for a package no record has.
std::vector<std::shared_ptr<UITableViewRowAction>> swipeActions(const KVScreenContext& context, UITableView& table,
                                                                const std::string& identifier,
                                                                std::function<void()> after = nullptr);

}  // namespace KVPackageRows
