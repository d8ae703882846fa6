#include "markdown/MDParser.h"

#include <cstring>

#include "markdown/MDCodeBlockParser.h"
#include "markdown/MDExtensions.h"
#include "markdown/MDListParser.h"
#include "markdown/MDTableParser.h"

namespace markdown {

namespace {

constexpr size_t npos = std::string_view::npos;

const MDCharacterSet& spaces() {
  static const MDCharacterSet set(" ");
  return set;
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
  failedRule_ = {};
  definitions_.clear();
  spanParser_.beginDocument(*document);
  MDScanner scanner(document->markdown());
  document->setElements(parseElements(scanner));
  definitions_.resolve(spanParser_.references());
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
      if (scanner.location() == before) scanner.advanceToNextLine();  // never stand still
      continue;
    }
    size_t passed = scanner.skipWhitespace();
    if (scanner.atEndOfLine()) {
      scanner.advanceToNextLine();
    } else if (passed == 0) {
      // Every recogniser refused this line from here on (an indented fence line, a
      // marker nested too deep): it becomes paragraph text rather than a line the
      // loop would try forever.
      if (MDElement* paragraph = inTransaction(scanner, [&] { return parseParagraph(scanner, true); })) {
        elements.push_back(paragraph);
      } else {
        scanner.advanceToNextLine();
      }
    }
  }
  return elements;
}

MDElement* MDParser::parseBlockElement(MDScanner& scanner) {
  auto attempt = [&](auto recognise) { return inTransaction(scanner, recognise); };
  if (MDElement* e = attempt([&] { return htmlParser_.parseCommentWithScanner(scanner, *document_); })) return e;
  if (scanner.atBeginningOfLine())
    if (MDElement* e = attempt([&] { return htmlParser_.parseBlockTagWithScanner(scanner, *document_); })) return e;
  if (MDElement* e = attempt([&] { return parsePrefixHeader(scanner); })) return e;
  if (MDElement* e = attempt([&] { return parseUnderlinedHeader(scanner); })) return e;
  if (MDElement* e = attempt([&] { return parseBlockquote(scanner); })) return e;
  if (MDElement* e = attempt([&] { return MDCodeBlockParser::parseCodeBlock(scanner, *document_); })) return e;
  if (extensions_ & MDExtensionFencedCode)
    if (MDElement* e = attempt([&] { return MDCodeBlockParser::parseFencedCodeBlock(scanner, *document_); }))
      return e;
  if (extensions_ & MDExtensionTables)
    if (MDElement* e = attempt([&] { return MDTableParser::parseTable(scanner, *document_, spanParser_); })) return e;
  if (MDElement* e = attempt([&] { return parseHorizontalRule(scanner); })) return e;
  if (MDElement* e = attempt([&] { return MDListParser(*this).parseList(scanner); })) return e;
  if (MDElement* e = attempt([&] { return definitions_.parseLinkDefinition(scanner, *document_, treeDepth_); }))
    return e;
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
  end = utf8::endWithoutTrailingWhitespace(text(), start, end);
  MDElement* header = make(MDElementType::Header);
  header->level = level;
  header->addInnerRange({start, end - start});
  parseSpanContent(header);
  scanner.advanceToNextLine();
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
  scanner.advanceToNextLine();
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
  scanner.advanceToNextLine();
  while (!scanner.atEndOfString() && !scanner.restIsBlank()) {
    const size_t lineStart = scanner.location();
    scanner.skipWhitespace();
    if (scanner.nextByte() == '>') {
      scanner.advance();
      scanner.skipCharactersFromSet(MDCharacterSet::whitespace(), 1);
    } else {
      // A lazy continuation, unless it starts a list.
      scanner.beginTransaction();
      bool marker = MDListParser::parseAnyListMarker(scanner);
      scanner.commitTransaction(false);
      if (marker) {
        scanner.setLocation(lineStart);
        break;
      }
    }
    quote->addInnerRange(scanner.currentRange());
    scanner.advanceToNextLine();
  }
  quote->setChildren(parseNestedElements(quote->innerRanges, 1));
  quote->range = {start, scanner.location() - start};
  return quote;
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
  const size_t from = scanner.location();
  const size_t lineEnd = from + scanner.currentRange().length;
  // A later test that starts on the markers an earlier one walked walks on to where that
  // one stopped and fails there too: a line of list markers ("- - - ... x") is tested
  // once per marker by the list parser, and must not be walked once per marker.
  if (failedRule_.lineEnd == lineEnd && failedRule_.from <= from && from < failedRule_.stop) {
    scanner.commitTransaction(false);
    return false;
  }
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
  const size_t stop = scanner.location();
  scanner.skipWhitespace();
  bool rule = count >= 3 && scanner.atEndOfLine();
  // What ended the walk does not depend on where it began, and a later start counts no
  // more markers: none of its starts makes a rule.
  if (!rule) failedRule_ = {from, stop, lineEnd};
  scanner.commitTransaction(false);
  return rule;
}

MDElement* MDParser::parseParagraph(MDScanner& scanner, bool acceptFirstLine) {
  const size_t start = scanner.location();
  MDElement* paragraph = make(MDElementType::Paragraph);
  bool first = true;
  while (!scanner.atEndOfString()) {
    const size_t lineStart = scanner.location();
    scanner.skipWhitespace();
    if (scanner.atEndOfLine()) {
      scanner.advanceToNextLine();
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
    MDScanner line(text(), {scanner.currentRange()});
    if (MDCodeBlockParser::isFenceOpening(line)) return true;
  }
  const size_t here = scanner.location();
  scanner.setLocation(lineStart);
  bool ends = false;
  scanner.beginTransaction();
  MDLinkDefinitions::Definition definition;
  if (MDLinkDefinitions::readLinkDefinition(scanner, text(), definition)) ends = true;
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
    ends = scanner.skipIndentationUpTo(2) <= 2 && MDListParser::parseAnyListMarker(scanner);
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
  scanner.advanceToNextLine();
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

}  // namespace markdown
