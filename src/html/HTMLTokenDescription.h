#pragma once
// The common frame of token descriptions: "<ClassName: 0x... BODY >".
#include <cstdio>

#include "html/HTMLString.h"

namespace html {

inline String tokenDescription(const char* className, const void* identity, const String& body,
                               bool spaceBeforeClose = true) {
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "<%s: %p ", className, identity);
  return fromUTF8(buffer) + body + (spaceBeforeClose ? u" >" : u">");
}

}  // namespace html
