#pragma once
// Text comparison the way the record queries mean it: "[c]" ignores letter case
// (Unicode case folding), "[d]" ignores diacritics (canonical decomposition with the
// combining marks removed), both through ICU. Sorting uses an ICU collator so that
// names order as a person reads them, not by byte.
#include <string>
#include <string_view>

namespace store::text {

enum FoldFlags : int { kCaseInsensitive = 1, kDiacriticInsensitive = 2 };

// The comparison form of a text for the given flags (NFC, folded as asked).
std::string fold(std::string_view text, int flags);

// The text in lower case, as a person's name is lowered (Unicode, root locale).
std::string lowercase(std::string_view text);

// The string operators of a predicate on already folded texts.
bool contains(std::string_view text, std::string_view part);
bool beginsWith(std::string_view text, std::string_view prefix);
bool endsWith(std::string_view text, std::string_view suffix);
// "*" matches any run of characters, "?" one character; "\" escapes the next one.
bool like(std::string_view text, std::string_view pattern);

// Three-way comparison for sorting (root-locale collator, ties broken by bytes).
int collate(std::string_view a, std::string_view b);
// The version of the collator behind collate(), as text ("" without one): texts may
// order otherwise under another.
std::string collationVersion();

}  // namespace store::text
