#include "markdown/MDMarkdown.h"

#include "markdown/MDGenerator.h"
#include "markdown/MDParser.h"

namespace markdown {

std::string MDMarkdown::HTMLStringWithMarkdown(std::optional<std::string_view> markdown, unsigned extensions) {
  if (!markdown || markdown->empty()) return {};
  MDParser parser(extensions);
  MDGenerator generator;
  return generator.generateHTML(*parser.parseMarkdown(*markdown));
}

std::string MDMarkdown::HTMLStringWithMarkdown(std::optional<std::string_view> markdown, unsigned extensions,
                                               MDRandomSource& random) {
  if (!markdown || markdown->empty()) return {};
  MDParser parser(extensions);
  MDGenerator generator(random);
  return generator.generateHTML(*parser.parseMarkdown(*markdown));
}

}  // namespace markdown
