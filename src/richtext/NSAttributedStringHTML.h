#pragma once
// Attributed text read from HTML, as the screens show a description or a changelog that
// Markdown turned into HTML: the platform's own reader of HTML documents stands here,
// written on our HTML parser.
//
// What is read: the text, with white space collapsed as a browser collapses it (kept in
// "pre"); paragraphs, headings, divisions, list items and table rows on lines of their
// own ("br" breaks a line); list items marked "•" or numbered; a span's or any element's
// style attribute for "font-family", "font-size", "font-weight", "font-style",
// "text-decoration" and "color"; "b" and "strong" bold, "i" and "em" italic, "u"
// underlined, "code" and "pre" in a fixed-width face, headings bold and larger; a link
// ("a" with "href") keeps its address as the link attribute and is underlined. Scripts,
// styles, the head and images give no text. Any page is read in time linear in its size,
// however deep its elements nest.
#include <string_view>

#include "uikit/NSAttributedString.h"

namespace NSAttributedStringHTML {

// The text of an HTML document given as UTF-8.
NSAttributedString attributedStringWithHTML(std::string_view utf8);

// Takes the underline (its style and its colour) off every web address written in the
// text's characters (the addresses the Markdown library's link finder sees), each over
// its own place in the text: an address written twice loses both underlines. The link
// attribute stays.
void removeUnderlinesFromAddresses(NSAttributedString& text);

}  // namespace NSAttributedStringHTML
