#pragma once
// Finds the web addresses in plain text: "http" or "https" (any case), "://", a host of
// word characters, '-' and '.', an optional port and an optional path of word
// characters, '/', '_' and '.' that may end in a query ('?' and everything up to the
// next blank). Each address the URL parser accepts with a scheme and a host is given,
// in the order of the text, duplicates included.
#include <string_view>
#include <vector>

#include "foundation/URL.h"

namespace markdown::NSStringURLsFromString {

std::vector<URL> URLs(std::string_view text);

// The same, with a path that may hold every character RFC 3986 allows in one ("-", "~",
// "%XX", "!$&'()*+,;=", ":" and "@" as well), less the punctuation that ends the sentence
// around an address (".", ",", ";", ":", "!", "'", ")" at its very end).
std::vector<URL> URLsWithRFC3986Paths(std::string_view text);

}  // namespace markdown::NSStringURLsFromString
