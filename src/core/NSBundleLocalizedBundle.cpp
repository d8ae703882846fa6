#include "core/NSBundleLocalizedBundle.h"

#include "foundation/Bundle.h"
#include "foundation/Files.h"
#include "foundation/Log.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Value.h"
#include "system/DeviceFiles.h"
#include "system/DeviceRoot.h"

namespace NSBundleLocalizedBundle {
std::string userDefaultsPath() {
  return DeviceRoot::devicePath(std::string(DeviceRoot::kPreferencesFolder) + "/" +
                                Bundle::main().bundleIdentifier() + ".plist");
}

namespace {
void writeDefaults(const std::optional<std::string>& code) {
  auto existing = Value::fromPropertyListFile(userDefaultsPath());
  Value defaults = existing && existing->isDictionary() ? *existing : Value(Value::Dictionary{});
  if (code) defaults.set("AppleLanguages", Value::array({*code}));
  else defaults.erase("AppleLanguages");
  DeviceFiles::createFolders(Files::deletingLastPathComponent(userDefaultsPath()));
  std::string error;
  if (!DeviceFiles::writeAtomically(userDefaultsPath(), defaults.toXMLPropertyList(), &error))
    KVLog("The language choice could not be saved: %s", error.c_str());
}
}  // namespace

void setLanguage(const std::optional<std::string>& code) {
  writeDefaults(code);
  // A code without a localisation folder attaches nothing: look-ups fall back to English.
  bool hasFolder = code && Files::isDirectory(Bundle::main().resourcePath() + "/" + *code + ".lproj");
  LocalizedStrings::setLanguage(hasFolder ? *code : "en");
}

std::optional<std::string> storedLanguage() {
  auto defaults = Value::fromPropertyListFile(userDefaultsPath());
  if (!defaults) return std::nullopt;
  if (auto code = (*defaults)["AppleLanguages"][0].stringPtr()) return *code;
  return std::nullopt;
}

void applyStoredLanguage() {
  if (auto code = storedLanguage())
    if (Files::isDirectory(Bundle::main().resourcePath() + "/" + *code + ".lproj")) LocalizedStrings::setLanguage(*code);
}
}  // namespace NSBundleLocalizedBundle

std::string LocalizedBundle::localizedStringForKey(const std::string& key, const std::string& value,
                                                   const std::string& table) {
  std::string found = LocalizedStrings::lookup(key, table.empty() ? "Localizable" : table);
  if (found == key && !value.empty()) return value;
  return found;
}
