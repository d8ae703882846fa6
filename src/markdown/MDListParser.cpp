#include "markdown/MDListParser.h"

#include <optional>

namespace markdown {

bool MDListParser::parseListMarker(MDScanner& scanner, Kind kind) {
  if (scanner.atEndOfLine()) return false;
  unsigned char c = scanner.nextByte();
  if (kind == Kind::Bulleted) {
    if (c != '*' && c != '+' && c != '-') return false;
    scanner.advance();
  } else {
    if (c < '0' || c > '9') return false;
    while (scanner.nextByte() >= '0' && scanner.nextByte() <= '9' && !scanner.atEndOfLine()) scanner.advance();
    if (!scanner.matchString(".")) return false;
  }
  return scanner.matchString(" ");
}

bool MDListParser::parseAnyListMarker(MDScanner& scanner) {
  scanner.beginTransaction();
  bool bulleted = parseListMarker(scanner, Kind::Bulleted);
  scanner.commitTransaction(bulleted);
  return bulleted || parseListMarker(scanner, Kind::Numbered);
}

MDElement* MDListParser::parseList(MDScanner& scanner) {
  if (parser_.depth_ >= MDParser::maximumNesting) return nullptr;
  const size_t start = scanner.location();
  scanner.beginTransaction();
  scanner.skipIndentationUpTo(3);
  Kind kind = scanner.nextByte() >= '0' && scanner.nextByte() <= '9' ? Kind::Numbered : Kind::Bulleted;
  bool marker = parseListMarker(scanner, kind);
  scanner.commitTransaction(false);
  if (!marker) return nullptr;
  MDElement* list = parser_.make(kind == Kind::Bulleted ? MDElementType::BulletedList : MDElementType::NumberedList);
  while (!scanner.atEndOfString()) {
    scanner.beginTransaction();
    scanner.skipEmptyLines();
    bool rule = parser_.isHorizontalRule(scanner);
    scanner.commitTransaction(false);
    if (rule) break;
    MDElement* item = inTransaction(scanner, [&] { return parseListItem(scanner, kind); });
    if (!item) break;
    list->addChild(item);
  }
  if (list->children().empty()) return nullptr;
  list->range = {start, scanner.location() - start};
  return list;
}

MDElement* MDListParser::parseListItem(MDScanner& scanner, Kind kind) {
  const size_t start = scanner.location();
  bool loose = scanner.skipEmptyLines() > 0;
  scanner.skipIndentationUpTo(3);
  if (!parseListMarker(scanner, kind)) return nullptr;
  scanner.skipWhitespace();
  MDElement* item = parser_.make(MDElementType::ListItem);
  std::optional<size_t> nestedStart;
  size_t nestedIndentation = 0;

  while (!scanner.atEndOfString()) {
    // Everything read for this line is undone when the item ends before it.
    scanner.beginTransaction();
    const size_t blankLines = scanner.skipEmptyLines();
    if (parser_.isHorizontalRule(scanner)) {
      scanner.commitTransaction(false);
      break;
    }
    scanner.beginTransaction();
    scanner.skipIndentationUpTo(1);
    bool sibling = parseListMarker(scanner, kind);
    scanner.commitTransaction(false);
    if (sibling) {
      if (blankLines > 0) loose = true;
      scanner.commitTransaction(false);
      break;
    }
    scanner.beginTransaction();
    size_t indentation = scanner.skipIndentationUpTo(4);
    bool marker = indentation <= 4 && parseAnyListMarker(scanner);
    scanner.commitTransaction(false);
    if (indentation >= 2 && !nestedStart && marker) {
      item->addInnerRange({scanner.location(), 0});
      nestedStart = item->innerRanges.size();
      scanner.skipIndentationUpTo(indentation);
      item->addInnerRange(scanner.currentRange());
      nestedIndentation = indentation;
      scanner.advanceToNextLine();
      scanner.commitTransaction(true);
      continue;
    }
    if (blankLines > 0) {
      if (scanner.skipIndentationUpTo(4) != 4) {
        scanner.commitTransaction(false);
        break;
      }
      loose = true;
      item->addInnerRange({scanner.location(), 0});
    } else if (nestedStart) {
      scanner.skipIndentationUpTo(nestedIndentation);
    }
    if (!nestedStart) {
      parser_.addTextLine(item, scanner);
    } else {
      item->addInnerRange(scanner.currentRange());
      scanner.advanceToNextLine();
    }
    scanner.commitTransaction(true);
    if (scanner.atEndOfString()) break;
    scanner.beginTransaction();
    scanner.skipIndentationUpTo(4);
    bool quotation = scanner.nextByte() == '>';
    scanner.commitTransaction(false);
    if (quotation) break;
  }

  item->range = {start, scanner.location() - start};
  if (item->innerRanges.empty()) return item;
  std::vector<MDRange> ranges(item->innerRanges.begin(), item->innerRanges.end());
  std::vector<MDRange> nested;
  if (nestedStart) {
    nested.assign(ranges.begin() + static_cast<ptrdiff_t>(*nestedStart), ranges.end());
    ranges.resize(*nestedStart);
  }
  MDElementList children;
  if (loose) {
    children = parser_.parseNestedElements(ranges, 2);
  } else {
    MDScanner content = MDScanner::borrowing(parser_.text(), ranges);
    if (auto spans = parser_.spanParser_.parseSpansInBlockElement(item, content)) children = *spans;
  }
  if (!nested.empty()) children.append(MDElementList(parser_.parseNestedElements(nested, 2)));
  item->setChildren(children);
  return item;
}

}  // namespace markdown
