#include "markdown/MDTableParser.h"

namespace markdown {

namespace {

const MDCharacterSet& whitespaceAndBars() {
  static const MDCharacterSet set(" \t|");
  return set;
}

}  // namespace

MDElement* MDTableParser::parseTable(MDScanner& scanner, MDDocument& document, MDSpanParser& spans) {
  if (scanner.onLastLine()) return nullptr;
  const size_t start = scanner.location();
  const MDRange headerLine = scanner.currentRange();
  scanner.advanceToNextLine();
  auto alignments = parseSeparator(scanner);
  if (!alignments) return nullptr;
  MDElement* header = parseRow(headerLine, *alignments, document, spans);
  if (!header) return nullptr;
  header->type = MDElementType::TableHeaderRow;
  for (MDElement* cell : header->children()) cell->type = MDElementType::TableHeaderCell;
  MDElement* table = document.makeElement(MDElementType::Table);
  table->addChild(header);
  scanner.advanceToNextLine();
  while (!scanner.atEndOfString()) {
    MDElement* row = parseRow(scanner.currentRange(), *alignments, document, spans);
    if (!row) break;
    table->addChild(row);
    scanner.advanceToNextLine();
  }
  if (table->children().size() < 2) return nullptr;
  table->range = {start, scanner.location() - start};
  return table;
}

std::optional<std::vector<int>> MDTableParser::parseSeparator(MDScanner& scanner) {
  std::vector<int> alignments;
  scanner.skipWhitespace();
  if (scanner.matchString("|")) scanner.skipWhitespace();
  while (true) {
    bool left = scanner.matchString(":");
    size_t dashes = 0;
    while (scanner.matchString("-")) ++dashes;
    if (dashes < 3) return std::nullopt;
    bool right = scanner.matchString(":");
    alignments.push_back(left && right ? 2 : left ? 1 : right ? 3 : 0);
    scanner.skipWhitespace();
    if (scanner.atEndOfLine()) return alignments;
    if (!scanner.matchString("|")) return std::nullopt;
    scanner.skipWhitespace();
    if (scanner.atEndOfLine()) return alignments;
  }
}

MDElement* MDTableParser::parseRow(MDRange line, const std::vector<int>& alignments, MDDocument& document,
                                   MDSpanParser& spans) {
  MDScanner row(document.markdown(), {line});
  row.skipCharactersFromSet(whitespaceAndBars());
  auto cells = spans.parseSpansInTableColumns(alignments, row);
  if (!cells) return nullptr;
  row.skipCharactersFromSet(whitespaceAndBars());
  if (!row.atEndOfLine()) return nullptr;
  MDElement* element = document.makeElement(MDElementType::TableRow);
  element->range = line;
  element->setChildren(*cells);
  return element;
}

}  // namespace markdown
