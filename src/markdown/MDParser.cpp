#include "markdown/MDParser.h"

#include <cstring>
#include <algorithm>
#include <unordered_map>

#include <unicode/locid.h>
#include <unicode/unistr.h>

#include "markdown/MDExtensions.h"

namespace markdown {

namespace {

constexpr size_t npos = std::string_view::npos;

const MDCharacterSet& spaces() {
  static const MDCharacterSet set(" ");
  return set;
}

const MDCharacterSet& languageCharacters() {
  static const MDCharacterSet set("-_", true);
  return set;
}

const MDCharacterSet& whitespaceAndBars() {
  static const MDCharacterSet set(" \t|");
  return set;
}


// The end of `range` with trailing whitespace cut.
size_t endWithoutTrailingWhitespace(std::string_view text, size_t start, size_t end) {
  while (end > start) {
    size_t previous = utf8::previousStart(text, end, start);
    size_t length = 0;
    if (!MDCharacterSet::isWhitespace(utf8::decode(text.substr(0, end), previous, &length))) break;
    end = previous;
  }
  return end;
}

}  // namespace

MDParser::MDParser(unsigned extensions) : extensions_(extensions), spanParser_(extensions) {}

std::string MDParser::removeTabsFromString(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  size_t column = 0;  // in UTF-16 units, as the columns of the text were always counted
  size_t i = 0;
  while (i < text.size()) {
    // Plain ASCII goes over in runs, eight bytes at a time where none is a tab, a
    // line feed or above ASCII.
    size_t run = i;
    while (run + 8 <= text.size()) {
      uint64_t word;
      std::memcpy(&word, text.data() + run, 8);
      constexpr uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
      const uint64_t tabs = word ^ (ones * '\t'), feeds = word ^ (ones * '\n');
      if (((word | ((tabs - ones) & ~tabs) | ((feeds - ones) & ~feeds)) & highs) != 0) break;
      run += 8;
    }
    while (run < text.size()) {
      unsigned char c = static_cast<unsigned char>(text[run]);
      if (c >= 0x80 || c == '\t' || c == '\n') break;
      ++run;
    }
    out.append(text.data() + i, run - i);
    column += run - i;
    i = run;
    if (i == text.size()) break;
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\n') {
      out += '\n';
      column = 0;
      ++i;
    } else if (c == '\t') {
      size_t width = 4 - column % 4;
      out.append(width, ' ');
      column += width;
      ++i;
    } else if (size_t length = utf8::validLength(text, i)) {
      out.append(text.data() + i, length);
      column += length == 4 ? 2 : 1;
      i += length;
    } else {
      out += "\xEF\xBF\xBD";
      column += 1;
      ++i;
    }
  }
  return out;
}

std::unique_ptr<MDDocument> MDParser::parseMarkdown(std::string_view markdown) {
  auto document = std::make_unique<MDDocument>(removeTabsFromString(markdown));
  if (document->markdown().empty()) return document;
  document_ = document.get();
  depth_ = treeDepth_ = 0;
  definitions_.clear();
  spanParser_.beginDocument(*document);
  MDScanner scanner(document->markdown());
  document->setElements(parseElements(scanner));
  updateLinksFromDefinitions();
  spanParser_.endDocument();
  document_ = nullptr;
  return document;
}

std::vector<MDElement*> MDParser::parseElements(MDScanner& scanner) {
  std::vector<MDElement*> elements;
  while (!scanner.atEndOfString()) {
    const size_t before = scanner.location();
    if (MDElement* element = parseBlockElement(scanner)) {
      elements.push_back(element);
      if (scanner.location() == before) moveToNextLine(scanner);  // never stand still
      continue;
    }
    size_t passed = scanner.skipWhitespace();
    if (scanner.atEndOfLine()) {
      moveToNextLine(scanner);
    } else if (passed == 0) {
      // Every recogniser refused this line from here on (an indented fence line, a
      // marker nested too deep): it becomes paragraph text rather than a line the
      // loop would try forever.
      if (MDElement* paragraph = inTransaction(scanner, [&] { return parseParagraph(scanner, true); })) {
        elements.push_back(paragraph);
      } else {
        moveToNextLine(scanner);
      }
    }
  }
  return elements;
}

void MDParser::moveToNextLine(MDScanner& scanner) {
  if (scanner.onLastLine()) {
    scanner.skipToEndOfLine();
  } else {
    scanner.advanceToNextLine();
  }
}

MDElement* MDParser::parseBlockElement(MDScanner& scanner) {
  auto attempt = [&](auto recognise) { return inTransaction(scanner, recognise); };
  if (MDElement* e = attempt([&] { return htmlParser_.parseCommentWithScanner(scanner, *document_); })) return e;
  if (scanner.atBeginningOfLine())
    if (MDElement* e = attempt([&] { return htmlParser_.parseBlockTagWithScanner(scanner, *document_); })) return e;
  if (MDElement* e = attempt([&] { return parsePrefixHeader(scanner); })) return e;
  if (MDElement* e = attempt([&] { return parseUnderlinedHeader(scanner); })) return e;
  if (MDElement* e = attempt([&] { return parseBlockquote(scanner); })) return e;
  if (MDElement* e = attempt([&] { return parseCodeBlock(scanner); })) return e;
  if (extensions_ & MDExtensionFencedCode)
    if (MDElement* e = attempt([&] { return parseFencedCodeBlock(scanner); })) return e;
  if (extensions_ & MDExtensionTables)
    if (MDElement* e = attempt([&] { return parseTable(scanner); })) return e;
  if (MDElement* e = attempt([&] { return parseHorizontalRule(scanner); })) return e;
  if (MDElement* e = attempt([&] { return parseList(scanner); })) return e;
  if (MDElement* e = attempt([&] { return parseLinkDefinition(scanner); })) return e;
  return attempt([&] { return parseParagraph(scanner, false); });
}

MDElement* MDParser::parsePrefixHeader(MDScanner& scanner) {
  if (scanner.nextByte() != '#') return nullptr;
  unsigned level = 0;
  while (level < 6 && scanner.nextByte() == '#') {
    scanner.advance();
    ++level;
  }
  if (scanner.skipWhitespace() == 0) return nullptr;
  const size_t start = scanner.location();
  size_t end = scanner.currentLineRange().end();
  while (end > start && text()[end - 1] == '#') --end;
  end = endWithoutTrailingWhitespace(text(), start, end);
  MDElement* header = make(MDElementType::Header);
  header->level = level;
  header->addInnerRange({start, end - start});
  parseSpanContent(header);
  moveToNextLine(scanner);
  header->range = {scanner.startLocation(), scanner.location() - scanner.startLocation()};
  return header;
}

MDElement* MDParser::parseUnderlinedHeader(MDScanner& scanner) {
  if (scanner.restIsBlank() || scanner.onLastLine()) return nullptr;
  const MDRange first = scanner.currentRange();
  scanner.advanceToNextLine();
  unsigned char marker = scanner.nextByte();
  if (marker != '=' && marker != '-') return nullptr;
  while (scanner.nextByte() == marker && !scanner.atEndOfLine()) scanner.advance();
  scanner.skipWhitespace();
  if (!scanner.atEndOfLine()) return nullptr;
  MDElement* header = make(MDElementType::Header);
  header->level = marker == '=' ? 1 : 2;
  header->addInnerRange(first);
  parseSpanContent(header);
  moveToNextLine(scanner);
  header->range = {first.location, scanner.location() - first.location};
  return header;
}

MDElement* MDParser::parseBlockquote(MDScanner& scanner) {
  if (depth_ >= maximumNesting) return nullptr;
  const size_t start = scanner.location();
  scanner.skipCharactersFromSet(spaces(), 3);
  if (scanner.nextByte() != '>') return nullptr;
  scanner.advance();
  if (scanner.nextByte() == ' ') scanner.advance();
  MDElement* quote = make(MDElementType::Blockquote);
  quote->addInnerRange(scanner.currentRange());
  moveToNextLine(scanner);
  while (!scanner.atEndOfString() && !scanner.restIsBlank()) {
    const size_t lineStart = scanner.location();
    scanner.skipWhitespace();
    if (scanner.nextByte() == '>') {
      scanner.advance();
      scanner.skipCharactersFromSet(MDCharacterSet::whitespace(), 1);
    } else {
      // A lazy continuation, unless it starts a list.
      scanner.beginTransaction();
      bool marker = parseAnyListMarker(scanner);
      scanner.commitTransaction(false);
      if (marker) {
        scanner.setLocation(lineStart);
        break;
      }
    }
    quote->addInnerRange(scanner.currentRange());
    moveToNextLine(scanner);
  }
  quote->setChildren(parseNestedElements(quote->innerRanges, 1));
  quote->range = {start, scanner.location() - start};
  return quote;
}

MDElement* MDParser::parseCodeBlock(MDScanner& scanner) {
  const size_t start = scanner.location();
  if (scanner.skipIndentationUpTo(4) != 4 || scanner.restIsBlank()) return nullptr;
  MDElement* code = make(MDElementType::CodeBlock);
  code->addInnerRange(scanner.currentRange());
  moveToNextLine(scanner);
  while (!scanner.atEndOfString()) {
    while (!scanner.atEndOfString() && scanner.restIsBlank()) {
      code->addInnerRange({scanner.location(), 0});
      moveToNextLine(scanner);
    }
    if (scanner.atEndOfString()) break;
    scanner.beginTransaction();
    bool indented = scanner.skipIndentationUpTo(4) == 4;
    scanner.commitTransaction(indented);
    if (!indented) break;
    code->addInnerRange(scanner.currentRange());
    moveToNextLine(scanner);
  }
  while (code->innerRanges.back().length == 0) code->removeLastInnerRange();
  MDRange& last = code->innerRanges.back();
  last.length = endWithoutTrailingWhitespace(text(), last.location, last.end()) - last.location;
  parseCodeLines(code);
  code->range = {start, scanner.location() - start};
  return code;
}

MDElement* MDParser::parseFencedCodeBlock(MDScanner& scanner) {
  const size_t start = scanner.location();
  if (!isFenceOpening(scanner)) return nullptr;
  scanner.matchString("```");
  scanner.skipWhitespace();
  std::string_view language = scanner.nextWordWithCharactersFromSet(languageCharacters());
  MDElement* code = make(MDElementType::CodeBlock);
  if (!language.empty()) code->setLanguage(std::string(language));
  while (!scanner.onLastLine()) {
    scanner.advanceToNextLine();
    scanner.beginTransaction();
    bool closing = scanner.matchString("```") && (scanner.skipWhitespace(), scanner.atEndOfLine());
    scanner.commitTransaction(closing);
    if (closing) break;
    code->addInnerRange(scanner.currentLineRange());
  }
  scanner.skipToEndOfLine();
  parseCodeLines(code);
  code->range = {start, scanner.location() - start};
  return code;
}

bool MDParser::isFenceOpening(MDScanner& scanner) {
  if (!scanner.atBeginningOfLine()) return false;
  scanner.beginTransaction();
  bool opening = false;
  if (scanner.matchString("```")) {
    scanner.skipWhitespace();
    scanner.skipCharactersFromSet(languageCharacters());
    scanner.skipWhitespace();
    opening = scanner.atEndOfLine();
  }
  scanner.commitTransaction(false);
  return opening;
}

MDElement* MDParser::parseTable(MDScanner& scanner) {
  if (scanner.onLastLine()) return nullptr;
  const size_t start = scanner.location();
  const MDRange headerLine = scanner.currentRange();
  scanner.advanceToNextLine();
  auto alignments = parseTableSeparator(scanner);
  if (!alignments) return nullptr;
  MDElement* header = parseTableRow(headerLine, *alignments);
  if (!header) return nullptr;
  header->type = MDElementType::TableHeaderRow;
  for (MDElement* cell : header->children()) cell->type = MDElementType::TableHeaderCell;
  MDElement* table = make(MDElementType::Table);
  table->addChild(header);
  moveToNextLine(scanner);
  while (!scanner.atEndOfString()) {
    MDElement* row = parseTableRow(scanner.currentRange(), *alignments);
    if (!row) break;
    table->addChild(row);
    moveToNextLine(scanner);
  }
  if (table->children().size() < 2) return nullptr;
  table->range = {start, scanner.location() - start};
  return table;
}

std::optional<std::vector<int>> MDParser::parseTableSeparator(MDScanner& scanner) {
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

MDElement* MDParser::parseTableRow(MDRange line, const std::vector<int>& alignments) {
  MDScanner row(text(), {line});
  row.skipCharactersFromSet(whitespaceAndBars());
  auto cells = spanParser_.parseSpansInTableColumns(alignments, row);
  if (!cells) return nullptr;
  row.skipCharactersFromSet(whitespaceAndBars());
  if (!row.atEndOfLine()) return nullptr;
  MDElement* element = make(MDElementType::TableRow);
  element->range = line;
  element->setChildren(*cells);
  return element;
}

MDElement* MDParser::parseHorizontalRule(MDScanner& scanner) {
  const size_t start = scanner.location();
  if (!isHorizontalRule(scanner)) return nullptr;
  scanner.skipToEndOfLine();
  MDElement* rule = make(MDElementType::HorizontalRule);
  rule->range = {start, scanner.location() - start};
  return rule;
}

bool MDParser::isHorizontalRule(MDScanner& scanner) {
  scanner.beginTransaction();
  scanner.skipWhitespace();
  unsigned char marker = scanner.nextByte();
  size_t count = 0;
  if (marker == '*' || marker == '-' || marker == '_') {
    while (true) {
      if (scanner.nextByte() == marker && !scanner.atEndOfLine()) {
        scanner.advance();
        ++count;
      } else if (scanner.nextByte() == ' ') {
        MDRange rest = scanner.currentRange();
        if (rest.length < 2 || static_cast<unsigned char>(text()[rest.location + 1]) != marker) break;
        scanner.advance();
      } else {
        break;
      }
    }
  }
  scanner.skipWhitespace();
  bool rule = count >= 3 && scanner.atEndOfLine();
  scanner.commitTransaction(false);
  return rule;
}

bool MDParser::parseListMarker(MDScanner& scanner, ListKind kind) {
  if (scanner.atEndOfLine()) return false;
  unsigned char c = scanner.nextByte();
  if (kind == ListKind::Bulleted) {
    if (c != '*' && c != '+' && c != '-') return false;
    scanner.advance();
  } else {
    if (c < '0' || c > '9') return false;
    while (scanner.nextByte() >= '0' && scanner.nextByte() <= '9' && !scanner.atEndOfLine()) scanner.advance();
    if (!scanner.matchString(".")) return false;
  }
  return scanner.matchString(" ");
}

bool MDParser::parseAnyListMarker(MDScanner& scanner) {
  scanner.beginTransaction();
  bool bulleted = parseListMarker(scanner, ListKind::Bulleted);
  scanner.commitTransaction(bulleted);
  return bulleted || parseListMarker(scanner, ListKind::Numbered);
}

MDElement* MDParser::parseList(MDScanner& scanner) {
  if (depth_ >= maximumNesting) return nullptr;
  const size_t start = scanner.location();
  scanner.beginTransaction();
  scanner.skipIndentationUpTo(3);
  ListKind kind = scanner.nextByte() >= '0' && scanner.nextByte() <= '9' ? ListKind::Numbered : ListKind::Bulleted;
  bool marker = parseListMarker(scanner, kind);
  scanner.commitTransaction(false);
  if (!marker) return nullptr;
  MDElement* list = make(kind == ListKind::Bulleted ? MDElementType::BulletedList : MDElementType::NumberedList);
  while (!scanner.atEndOfString()) {
    scanner.beginTransaction();
    scanner.skipEmptyLines();
    bool rule = isHorizontalRule(scanner);
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

MDElement* MDParser::parseListItem(MDScanner& scanner, ListKind kind) {
  const size_t start = scanner.location();
  bool loose = scanner.skipEmptyLines() > 0;
  scanner.skipIndentationUpTo(3);
  if (!parseListMarker(scanner, kind)) return nullptr;
  scanner.skipWhitespace();
  MDElement* item = make(MDElementType::ListItem);
  std::optional<size_t> nestedStart;
  size_t nestedIndentation = 0;

  while (!scanner.atEndOfString()) {
    // Everything read for this line is undone when the item ends before it.
    scanner.beginTransaction();
    const size_t blankLines = scanner.skipEmptyLines();
    if (isHorizontalRule(scanner)) {
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
      moveToNextLine(scanner);
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
      addTextLine(item, scanner);
    } else {
      item->addInnerRange(scanner.currentRange());
      moveToNextLine(scanner);
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
    children = parseNestedElements(ranges, 2);
  } else {
    MDScanner content = MDScanner::borrowing(text(), ranges);
    if (auto spans = spanParser_.parseSpansInBlockElement(item, content)) children = *spans;
  }
  if (!nested.empty()) children.append(MDElementList(parseNestedElements(nested, 2)));
  item->setChildren(children);
  return item;
}

MDElement* MDParser::parseLinkDefinition(MDScanner& scanner) {
  const size_t start = scanner.location();
  LinkDefinition read;
  if (!readLinkDefinition(scanner, read)) return nullptr;
  MDElement* definition = make(MDElementType::Definition);
  definition->setIdentifier(std::move(read.identifier));
  definition->setHref(std::move(read.href));
  definition->setTitle(std::move(read.title));
  definition->range = {start, scanner.location() - start};
  definitions_.emplace_back(treeDepth_, definition);
  return definition;
}

bool MDParser::readLinkDefinition(MDScanner& scanner, LinkDefinition& definition) {
  scanner.skipIndentationUpTo(3);
  if (scanner.nextByte() != '[') return false;
  const size_t nameStart = scanner.location() + 1;
  if (scanner.skipNestedBracketsWithDelimiter('[') == 0) return false;
  const MDRange name{nameStart, scanner.location() - 1 - nameStart};
  if (!scanner.matchString(":")) return false;
  scanner.skipWhitespace();
  size_t targetStart = scanner.location();
  while (!scanner.atEndOfLine() && !MDCharacterSet::isWhitespace(scanner.nextCharacter())) scanner.advance();
  std::string_view target = text().substr(targetStart, scanner.location() - targetStart);
  if (target.empty()) return false;
  if (target.size() >= 2 && target.front() == '<' && target.back() == '>') target = target.substr(1, target.size() - 2);

  // The title, on this line or alone on the next.
  std::optional<std::string>& title = definition.title;
  scanner.beginTransaction();
  scanner.skipWhitespace();
  if (scanner.atEndOfLine() && !scanner.onLastLine()) {
    scanner.advanceToNextLine();
    scanner.skipWhitespace();
  }
  unsigned char open = scanner.nextByte();
  unsigned char close = open == '"' ? '"' : open == '\'' ? '\'' : open == '(' ? ')' : 0;
  if (close != 0) {
    MDRange rest = scanner.currentRange();
    size_t end = endWithoutTrailingWhitespace(text(), rest.location, rest.end());
    if (end >= rest.location + 2 && static_cast<unsigned char>(text()[end - 1]) == close) {
      title = std::string(text().substr(rest.location + 1, end - rest.location - 2));
      scanner.skipToEndOfLine();
    }
  }
  scanner.commitTransaction(title.has_value());
  scanner.skipWhitespace();
  if (!scanner.atEndOfLine()) return false;
  definition.identifier = text().substr(name.location, name.length);
  definition.href = target;
  return true;
}

MDElement* MDParser::parseParagraph(MDScanner& scanner, bool acceptFirstLine) {
  const size_t start = scanner.location();
  MDElement* paragraph = make(MDElementType::Paragraph);
  bool first = true;
  while (!scanner.atEndOfString()) {
    const size_t lineStart = scanner.location();
    scanner.skipWhitespace();
    if (scanner.atEndOfLine()) {
      moveToNextLine(scanner);
      break;
    }
    if (!(first && acceptFirstLine) && endsParagraph(scanner, lineStart)) {
      scanner.setLocation(lineStart);
      break;
    }
    addTextLine(paragraph, scanner);
    first = false;
  }
  if (paragraph->innerRanges.empty()) return nullptr;
  parseSpanContent(paragraph);
  paragraph->range = {start, scanner.location() - start};
  return paragraph;
}

// Whether the line (at the first non-whitespace character; `lineStart` where the
// line's text began) starts a construct that ends a paragraph before it.
bool MDParser::endsParagraph(MDScanner& scanner, size_t lineStart) {
  unsigned char c = scanner.nextByte();
  if (c == '>') return true;
  if (c == '#') {
    scanner.beginTransaction();
    size_t marks = 0;
    while (marks < 6 && scanner.matchString("#")) ++marks;
    bool header = scanner.skipWhitespace() > 0;
    scanner.commitTransaction(false);
    if (header) return true;
  }
  if ((extensions_ & MDExtensionFencedCode) && c == '`') {
    // The fence must open a line of its own, but an indented one still ends the
    // paragraph (and becomes text of the next one).
    scanner.beginTransaction();
    MDScanner line(text(), {scanner.currentRange()});
    bool fence = isFenceOpening(line);
    scanner.commitTransaction(false);
    if (fence) return true;
  }
  const size_t here = scanner.location();
  scanner.setLocation(lineStart);
  bool ends = false;
  scanner.beginTransaction();
  LinkDefinition definition;
  if (readLinkDefinition(scanner, definition)) ends = true;
  scanner.commitTransaction(false);
  if (!ends && !scanner.onLastLine()) {
    // The text of an underlined header: the next line is an underline.
    scanner.beginTransaction();
    scanner.advanceToNextLine();
    unsigned char marker = scanner.nextByte();
    if (marker == '=' || marker == '-') {
      while (scanner.nextByte() == marker && !scanner.atEndOfLine()) scanner.advance();
      scanner.skipWhitespace();
      ends = scanner.atEndOfLine();
    }
    scanner.commitTransaction(false);
  }
  if (!ends) {
    scanner.beginTransaction();
    ends = scanner.skipIndentationUpTo(2) <= 2 && parseAnyListMarker(scanner);
    scanner.commitTransaction(false);
  }
  scanner.setLocation(here);
  return ends;
}

void MDParser::addTextLine(MDElement* element, MDScanner& scanner) {
  const MDRange rest = scanner.currentRange();
  element->addInnerRange(rest);
  // A comment opened on this line and closed on a later one takes those lines along,
  // so that it never splits a paragraph or a list item.
  std::string_view line = text().substr(rest.location, rest.length);
  size_t at = 0;
  while ((at = line.find("<!--", at)) != npos) {
    size_t close = line.find("-->", at + 4);
    if (close != npos) {
      at = close + 3;
      continue;
    }
    scanner.setLocation(rest.location + at + 4);
    size_t end = search_.find(scanner, "-->", MDTextSearch::CommentEnd, true);
    scanner.setLocation(rest.location);
    if (end == npos) break;
    while (scanner.currentLineRange().end() < end + 3 && !scanner.onLastLine()) {
      scanner.advanceToNextLine();
      element->addInnerRange(scanner.currentLineRange());
    }
    break;
  }
  moveToNextLine(scanner);
}

std::vector<MDElement*> MDParser::parseNestedElements(std::span<const MDRange> ranges, unsigned levels) {
  if (ranges.empty()) return {};
  MDScanner content = MDScanner::borrowing(text(), ranges);
  ++depth_;
  treeDepth_ += levels;
  std::vector<MDElement*> elements = parseElements(content);
  treeDepth_ -= levels;
  --depth_;
  return elements;
}

void MDParser::parseSpanContent(MDElement* element) {
  if (element->innerRanges.empty()) return;
  MDScanner content = MDScanner::borrowing(text(), element->innerRanges);
  if (auto spans = spanParser_.parseSpansInBlockElement(element, content)) element->setChildren(*spans);
}

void MDParser::parseCodeLines(MDElement* element) {
  static const struct Plain {
    bool table[256];
    Plain() {
      for (bool& b : table) b = true;
      table['&'] = table['<'] = table['>'] = false;
    }
  } plain;
  MDElementList children;
  for (const MDRange& line : element->innerRanges) {
    size_t i = line.location;
    while (i < line.end()) {
      const size_t runStart = i;
      while (i < line.end() && plain.table[static_cast<unsigned char>(text()[i])]) ++i;
      if (i > runStart) {
        MDElement* run = make(MDElementType::None);
        run->range = {runStart, i - runStart};
        children.append(run);
      }
      if (i == line.end()) break;
      const char c = text()[i];
      MDElement* replacement = make(MDElementType::Entity);
      replacement->range = {i, 1};
      replacement->setStringValue(c == '&' ? "&amp;" : c == '<' ? "&lt;" : "&gt;");
      children.append(replacement);
      ++i;
    }
    MDElement* lineBreak = make(MDElementType::None);
    lineBreak->range = {line.end(), 0};
    children.append(lineBreak);
  }
  element->setChildren(children);
}

namespace {

std::string lowercased(std::string_view text) {
  bool ascii = true;
  for (char c : text) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii) {
    std::string out(text);
    for (char& c : out)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
  }
  std::string out;
  icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())))
      .toLower(icu::Locale::getRoot())
      .toUTF8String(out);
  return out;
}

}  // namespace

void MDParser::updateLinksFromDefinitions() {
  const std::vector<MDElement*>& references = spanParser_.references();
  if (references.empty()) return;
  std::stable_sort(definitions_.begin(), definitions_.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::unordered_map<std::string, MDElement*> definitions;
  for (const auto& [depth, definition] : definitions_) definitions[lowercased(*definition->identifier())] = definition;
  for (MDElement* reference : references) {
    if (reference->href() || !reference->identifier()) continue;
    auto found = definitions.find(lowercased(*reference->identifier()));
    if (found == definitions.end()) {
      // Written as the text it was.
      reference->type = MDElementType::None;
      reference->setChildren({});
      continue;
    }
    reference->setHref(found->second->href());
    reference->setTitle(found->second->title());
  }
}

}  // namespace markdown
