#pragma once
// Small helpers the insertion-mode files share: the typed view of a token a handler
// knows the kind of, and parse-error messages that name a tag.
#include <string>

#include "html/HTMLToken.h"

namespace html {

inline const HTMLStartTagToken& startTag(const HTMLToken& token) { return std::get<HTMLStartTagToken>(token); }
inline const HTMLEndTagToken& endTag(const HTMLToken& token) { return std::get<HTMLEndTagToken>(token); }

// The message with its "%@" replaced by the tag name.
inline std::string named(const char* format, const String& tagName) {
  std::string text(format);
  return text.replace(text.find("%@"), 2, toUTF8(tagName));
}

}  // namespace html
