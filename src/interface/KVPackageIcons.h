#pragma once
// The icons the screens show, as the packages and sources managers hand them out from
// the icon provider: a package's icon (which may start its download), its category
// picture, and a source's icon. Answers at once, on the main thread.
#include <memory>
#include <string>

class UIImage;

namespace KVPackageIcons {
// The package's icon: the cached file, else its category picture while the download runs.
std::shared_ptr<UIImage> iconForIdentifier(const std::string& identifier);
// The picture of the package's category.
std::shared_ptr<UIImage> categoryIconForIdentifier(const std::string& identifier);
// Whether the package's icon file is in the icon cache already (no download needed).
bool cachedIconExistsForIdentifier(const std::string& identifier);
// The source's icon, none when there is no cached one.
std::shared_ptr<UIImage> iconForLocation(const std::string& location);
}  // namespace KVPackageIcons
