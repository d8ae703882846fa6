#include "app/ApplicationInformationFile.h"

#include <set>

#include "foundation/Bundle.h"
#include "foundation/Files.h"
#include "foundation/Value.h"
#include "system/DeviceFiles.h"
#include "system/DeviceRoot.h"
#include "uikit/UIApplication.h"

namespace ApplicationInformationFile {
bool install(std::string* error) {
  auto bundled = Bundle::main().pathForResource("Info", "plist");
  auto list = bundled ? Value::fromPropertyListFile(*bundled, error) : std::nullopt;
  if (!list) return false;
  std::set<std::string> icons;
  for (const auto& name : (*list)["CFBundleIcons"]["CFBundleAlternateIcons"].keys()) icons.insert(name);
  UIApplication::sharedApplication().setAvailableAlternateIconNames(std::move(icons));
  // A list the device already has is the one in force: the settings may have changed it.
  const std::string path = DeviceRoot::devicePath("/Applications/Quillbark.app/Info.plist");
  if (Files::exists(path)) return true;
  return DeviceFiles::createFolders(Files::deletingLastPathComponent(path), error) &&
         DeviceFiles::writeAtomically(path, list->toBinaryPropertyList(), error);
}
}  // namespace ApplicationInformationFile
