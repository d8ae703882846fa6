#pragma once
// String tables with the English text as key: "<lang>.lproj/<Table>.strings" under the
// bundle's resources. A missing entry (or a missing table) shows the key itself.
#include <initializer_list>
#include <string>
#include <string_view>
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
// The text with each placeholder ("%@", and the number ones "%d", "%ld", "%lu", "%.2f",
// ...) replaced by the next value, in order, which the caller has already written out
// ("%%" gives "%"); the values are never read as formats themselves.
std::string fillPlaceholders(std::string_view format, std::initializer_list<std::string_view> values);
}  // namespace LocalizedStrings

inline std::string NSLocalizedString(const std::string& key) { return LocalizedStrings::lookup(key); }
// A looked-up text whose "%@" placeholders are filled with `values`.
inline std::string NSLocalizedFormat(const std::string& key, std::initializer_list<std::string_view> values) {
  return LocalizedStrings::fillPlaceholders(LocalizedStrings::lookup(key), values);
}
inline std::string NSLocalizedStringFromTable(const std::string& key, const std::string& table) {
  return LocalizedStrings::lookup(key, table);
}
