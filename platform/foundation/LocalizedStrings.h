#pragma once
// String tables with the English text as key: "<lang>.lproj/<Table>.strings" under the
// bundle's resources. A missing entry (or a missing table) shows the key itself.
#include <string>
#include <vector>

namespace LocalizedStrings {
// The in-app language choice; "en" (the default) needs no table.
void setLanguage(const std::string& code);
std::string language();
// Languages that have a folder of tables, always including "en".
std::vector<std::string> availableLanguages();
std::string lookup(const std::string& key, const std::string& table = "Localizable");
// Forgets loaded tables (after the resources folder or the language changed).
void reload();
}  // namespace LocalizedStrings

inline std::string NSLocalizedString(const std::string& key) { return LocalizedStrings::lookup(key); }
inline std::string NSLocalizedStringFromTable(const std::string& key, const std::string& table) {
  return LocalizedStrings::lookup(key, table);
}
