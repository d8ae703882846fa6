#pragma once
// The in-app language choice. The choice is also kept in the user defaults under
// "AppleLanguages", so the next start begins in that language.
#include <optional>
#include <string>

namespace NSBundleLocalizedBundle {
// A language code (a folder name of the application's localisations) or nullopt for
// the platform's own choice.
void setLanguage(const std::optional<std::string>& code);
// The language stored in the user defaults, applied at process start.
void applyStoredLanguage();
// The first of the user defaults' "AppleLanguages", when one is stored.
std::optional<std::string> storedLanguage();
std::string userDefaultsPath();
}  // namespace NSBundleLocalizedBundle

class LocalizedBundle {
 public:
  static std::string localizedStringForKey(const std::string& key, const std::string& value,
                                           const std::string& table);
};
