#pragma once
// Pipe tables for the block parser (with the tables extension): a header row, a
// separator line that gives each column's alignment, and at least one body row, every
// row with exactly one cell per column.
#include <optional>
#include <vector>

#include "markdown/MDDocument.h"
#include "markdown/MDScanner.h"
#include "markdown/MDSpanParser.h"

namespace markdown {

class MDTableParser {
 public:
  // A table whose header is the current line, or nothing.
  static MDElement* parseTable(MDScanner& scanner, MDDocument& document, MDSpanParser& spans);

 private:
  // The alignment of each column: 0 none, 1 left, 2 center, 3 right.
  static std::optional<std::vector<int>> parseSeparator(MDScanner& scanner);
  static MDElement* parseRow(MDRange line, const std::vector<int>& alignments, MDDocument& document,
                             MDSpanParser& spans);
};

}  // namespace markdown
