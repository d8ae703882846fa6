#include "foundation/NSLocale.h"

#include <cstdlib>

namespace NSLocale {

namespace {
// "en_US.UTF-8@euro" as "en-US"; nothing for "C", "POSIX" and the empty text.
std::string tagOf(std::string name) {
  name = name.substr(0, name.find_first_of(".@"));
  if (name.empty() || name == "C" || name == "POSIX") return {};
  for (char& c : name)
    if (c == '_') c = '-';
  return name;
}
}  // namespace

std::vector<std::string> preferredLanguages() {
  std::vector<std::string> languages;
  auto add = [&](const std::string& name) {
    std::string tag = tagOf(name);
    if (!tag.empty()) languages.push_back(tag);
  };
  if (const char* list = std::getenv("LANGUAGE")) {
    std::string text = list;
    for (size_t at = 0; at <= text.size();) {
      size_t end = text.find(':', at);
      if (end == std::string::npos) end = text.size();
      add(text.substr(at, end - at));
      at = end + 1;
    }
  }
  if (languages.empty()) {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
      const char* value = std::getenv(variable);
      if (value && *value) {
        add(value);
        break;
      }
    }
  }
  if (languages.empty()) languages.push_back("en");
  return languages;
}

}  // namespace NSLocale
