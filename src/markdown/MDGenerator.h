#pragma once
// Writes a Markdown document as an HTML fragment: block and inline tags only, no
// document wrapper. Text and raw HTML are written as they stand in the source.
#include <optional>
#include <string>
#include <string_view>

#include "markdown/MDDocument.h"
#include "markdown/MDRandomSource.h"

namespace markdown {

class MDGenerator {
 public:
  // E-mail links are obfuscated with randomness from the system's entropy...
  MDGenerator() = default;
  // ...or from the given source.
  explicit MDGenerator(MDRandomSource& random) : random_(&random) {}

  std::string generateHTML(const MDDocument& document);

  // "&" becomes "&amp;", then '"' becomes "&quot;"; nothing else changes.
  static std::string HTMLEscapedString(std::string_view text);
  // Every code point as a decimal or hexadecimal character reference or as itself,
  // chosen at random; '@' always as a reference.
  std::string obfuscatedEmailAddress(std::string_view address);

 private:
  void generateElement(const MDElement& element, const MDDocument& document, std::string& html);
  MDRandomSource& random();

  MDRandomSource* random_ = nullptr;
  std::optional<MDRandomSource> ownRandom_;
};

}  // namespace markdown
