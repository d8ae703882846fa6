#pragma once
// Escaping and unescaping of character references in plain text, outside any parse.
// Nothing in the library calls these; they are offered to its users.
#include "html/HTMLString.h"

namespace html::HTMLEntities {

// "&", U+00A0, the double quote, "<" and ">" become references; apostrophes stay.
String html_stringByEscapingForHTML(StringView string);

// Named and numeric references resolved, without parse errors or attribute rules (a
// legacy name is replaced even when letters follow it). Text that is no reference,
// including an "&" at the very end or one followed by white space, stays as it is.
String html_stringByUnescapingHTML(StringView string);

}  // namespace html::HTMLEntities
