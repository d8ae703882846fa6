#pragma once
// The Markdown library's entry: Markdown text in, an HTML fragment out. Every call
// makes its own parser and generator, so calls share nothing and may run on any
// thread at once. Malformed Markdown always yields some HTML; nothing here fails.
#include <optional>
#include <string>
#include <string_view>

#include "markdown/MDExtensions.h"
#include "markdown/MDRandomSource.h"

namespace markdown {

class MDMarkdown {
 public:
  // A missing text is the empty text, which gives the empty string.
  static std::string HTMLStringWithMarkdown(std::optional<std::string_view> markdown,
                                            unsigned extensions = MDExtensionNone);
  // The same with e-mail obfuscation drawn from `random`.
  static std::string HTMLStringWithMarkdown(std::optional<std::string_view> markdown, unsigned extensions,
                                            MDRandomSource& random);
};

}  // namespace markdown
