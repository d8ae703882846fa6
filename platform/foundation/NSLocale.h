#pragma once
// The user's languages in order of preference, as the platform's locale gives them: BCP 47
// tags ("en-US", "fr"), read here from the process's locale settings (LANGUAGE's list,
// else LC_ALL, LC_MESSAGES, LANG); "en" when none names a language.
#include <string>
#include <vector>

namespace NSLocale {
std::vector<std::string> preferredLanguages();
}
