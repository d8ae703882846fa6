#pragma once
// The values of the application's own links that a share text carries
// ("quillbark://show/shared=Quillbark&name=...&bundleid=...&repo=..."): each encoded so
// that whatever a repository names a package or a source, it stays one value.
#include <string>

namespace KVShareLinks {
// A query value: every byte but the unreserved ones and those a link's query may carry
// plainly is percent-encoded, so "&", "=", "#" and "+" can't change it.
std::string queryValue(const std::string& text);
// A package's name: blanks become "+", everything else as a query value.
std::string linkName(const std::string& name);
}  // namespace KVShareLinks
