#pragma once
// The mail link a screen hands to the system to write to someone. The address and the
// subject are percent-encoded as a mail link needs them (RFC 6068): "@", "+" and the
// other characters an address may hold stay as they are, while "&", "=", "?", "#", "%"
// and blanks are escaped, so an address or a package name can never cut the link or add
// a field of its own.
#include <optional>
#include <string>

namespace KVMailLink {
// "mailto:ADDRESS?subject=SUBJECT"; no address gives a link with an empty one.
std::string url(const std::optional<std::string>& address, const std::string& subject);
}  // namespace KVMailLink
