#include "app/ApplicationInformationFile.h"

#include <set>

#include "foundation/Bundle.h"
#include "foundation/Files.h"
#include "foundation/Value.h"
#include "system/DeviceFiles.h"
#include "system/DeviceRoot.h"
#include "uikit/UIApplication.h"

namespace ApplicationInformationFile {
bool install(std::string* error, std::vector<std::string>* repairs) {
  auto bundled = Bundle::main().pathForResource("Info", "plist");
  auto list = bundled ? Value::fromPropertyListFile(*bundled, error) : std::nullopt;
  if (!list) return false;
  std::set<std::string> icons;
  for (const auto& name : (*list)["CFBundleIcons"]["CFBundleAlternateIcons"].keys()) icons.insert(name);
  UIApplication::sharedApplication().setAvailableAlternateIconNames(std::move(icons));
  // A list the device already has is the one in force: the settings may have changed it.
  const std::string path = DeviceRoot::devicePath("/Applications/Quillbark.app/Info.plist");
  const std::string folder = Files::deletingLastPathComponent(path);
  std::string repair;
  auto noted = [&] {
    if (!repair.empty() && repairs) repairs->push_back(repair);
    return true;
  };
  if (!DeviceFiles::createFolders(Files::deletingLastPathComponent(folder), error) ||
      !DeviceFiles::makeOwnFolder(folder, &repair, error) || !noted() ||
      !DeviceFiles::clearForOwnFile(path, &repair, error) || !noted())
    return false;
  if (Files::exists(path)) return true;
  return DeviceFiles::writeAtomically(path, list->toBinaryPropertyList(), error);
}
}  // namespace ApplicationInformationFile
