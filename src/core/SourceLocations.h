#pragma once
// The one check every repository location passes before the system uses it, wherever it
// comes from: typed, a shared link, an imported list or a restored backup. A location
// becomes a line of APT's sources list, which APT reads as words: a blank or a control
// character would make the rest options or another layout, a line feed or form feed
// another line (or a line every later APT command fails on), "#" a comment, a "[" or
// '"' options or a quoted word. It is fetched over the web: only http and https (in any
// case) name a repository, and what follows them must be a host, a name or an address,
// with a port of digits when there is one; "file:///etc/" would have APT read a folder of
// the machine. Such a location is refused with the reason.
#include <optional>
#include <string>
#include <string_view>

namespace SourceLocations {
// Why `location` can't be a repository's location; nothing when it can. Blanks and
// control characters are refused in any script (the Unicode spaces and C1 controls too),
// as are "#" and '"'; "[" and "]" only as the brackets of an IPv6 host.
std::optional<std::string> refusal(std::string_view location);
inline bool isAcceptable(std::string_view location) { return !refusal(location); }
// A location typed into a field that held "https://" already, without that start:
// "https://http://host/" is "http://host/". Any other text as it is.
std::string withoutPrefilledScheme(std::string_view location);
// The location as the system keeps it: a scheme of letters in lower case
// ("HTTP://repo.example/" is "http://repo.example/"); the rest as given.
std::string normalized(std::string_view location);
}  // namespace SourceLocations
