#pragma once
// What may stand for a package, a version or an architecture on an APT or dpkg
// command line. Identifiers and versions come from repositories, which are hostile:
// a value outside these rules is refused before any command is composed.
#include <optional>
#include <string>
#include <string_view>

namespace DebianNames {
// A package name: a letter or digit, then letters, digits, "+", "-" and ".", two
// characters at least. Upper-case letters are allowed, as dpkg allows them and
// device repositories use them.
bool isPackageName(std::string_view text);
// A package's identifier as the records keep it, whatever case an index, the status
// file or a link writes it in: its ASCII letters in lower case (dpkg and APT themselves
// take names in any case as one).
void makeRecordIdentifier(std::string& identifier);
inline std::string recordIdentifier(std::string_view identifier) {
  std::string out(identifier);
  makeRecordIdentifier(out);
  return out;
}
// A version of Debian's version characters: letters, digits and . + ~ - :, starting
// with a digit.
bool isVersion(std::string_view text);
// An architecture: lower-case letters, digits and "-".
bool isArchitecture(std::string_view text);

// Checks a queue string (identifiers, "identifier=version", each optionally followed by
// "-" or "+", separated by blanks). Answers the reason when a token breaks the rules.
std::optional<std::string> queueError(std::string_view queue);

// The file name APT gives an archive: package_version_architecture.deb with the
// version's ":" written "%3a". Nothing when a field breaks the rules above.
std::optional<std::string> archiveFileName(const std::string& package, const std::string& version,
                                           const std::string& architecture);
}  // namespace DebianNames
