#pragma once
// Code blocks for the block parser: lines indented by 4 columns, or (with the fenced
// code extension) lines between two fences of three backticks with an optional
// language word. Their text becomes plain runs with '&', '<' and '>' replaced and a
// line break after every line.
#include "markdown/MDDocument.h"
#include "markdown/MDScanner.h"

namespace markdown {

class MDCodeBlockParser {
 public:
  static MDElement* parseCodeBlock(MDScanner& scanner, MDDocument& document);
  static MDElement* parseFencedCodeBlock(MDScanner& scanner, MDDocument& document);
  // Whether the line, from the location, opens a fence: three backticks at the start
  // of a line, an optional language word and nothing else (never moves).
  static bool isFenceOpening(MDScanner& scanner);

 private:
  static void parseCodeLines(MDElement* element, MDDocument& document);
};

}  // namespace markdown
