#include "core/KVMailLink.h"

#include "foundation/URL.h"

namespace {
// What a mail link's address and field values may hold unescaped besides the unreserved
// characters: RFC 6068's "some-delims".
constexpr const char* kMailLinkAllowed = "!$'()*+,;:@";
}  // namespace

std::string KVMailLink::url(const std::optional<std::string>& address, const std::string& subject) {
  return "mailto:" + URL::percentEncode(address.value_or(""), kMailLinkAllowed) +
         "?subject=" + URL::percentEncode(subject, kMailLinkAllowed);
}
