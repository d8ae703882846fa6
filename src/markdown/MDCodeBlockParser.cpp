#include "markdown/MDCodeBlockParser.h"

namespace markdown {

namespace {

const MDCharacterSet& languageCharacters() {
  static const MDCharacterSet set("-_", true);
  return set;
}

}  // namespace

MDElement* MDCodeBlockParser::parseCodeBlock(MDScanner& scanner, MDDocument& document) {
  const std::string_view text = document.markdown();
  const size_t start = scanner.location();
  if (scanner.skipIndentationUpTo(4) != 4 || scanner.restIsBlank()) return nullptr;
  MDElement* code = document.makeElement(MDElementType::CodeBlock);
  code->addInnerRange(scanner.currentRange());
  scanner.advanceToNextLine();
  while (!scanner.atEndOfString()) {
    while (!scanner.atEndOfString() && scanner.restIsBlank()) {
      code->addInnerRange({scanner.location(), 0});
      scanner.advanceToNextLine();
    }
    if (scanner.atEndOfString()) break;
    scanner.beginTransaction();
    bool indented = scanner.skipIndentationUpTo(4) == 4;
    scanner.commitTransaction(indented);
    if (!indented) break;
    code->addInnerRange(scanner.currentRange());
    scanner.advanceToNextLine();
  }
  while (code->innerRanges.back().length == 0) code->removeLastInnerRange();
  MDRange& last = code->innerRanges.back();
  last.length = utf8::endWithoutTrailingWhitespace(text, last.location, last.end()) - last.location;
  parseCodeLines(code, document);
  code->range = {start, scanner.location() - start};
  return code;
}

MDElement* MDCodeBlockParser::parseFencedCodeBlock(MDScanner& scanner, MDDocument& document) {
  const size_t start = scanner.location();
  if (!isFenceOpening(scanner)) return nullptr;
  scanner.matchString("```");
  scanner.skipWhitespace();
  std::string_view language = scanner.nextWordWithCharactersFromSet(languageCharacters());
  MDElement* code = document.makeElement(MDElementType::CodeBlock);
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
  parseCodeLines(code, document);
  code->range = {start, scanner.location() - start};
  return code;
}

bool MDCodeBlockParser::isFenceOpening(MDScanner& scanner) {
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

void MDCodeBlockParser::parseCodeLines(MDElement* element, MDDocument& document) {
  const std::string_view text = document.markdown();
  static const struct Plain {
    bool table[256];
    Plain() {
      for (bool& b : table) b = true;
      for (unsigned char c : std::string_view("&<>")) table[c] = false;
    }
  } plain;
  MDElementList children;
  for (const MDRange& line : element->innerRanges) {
    size_t i = line.location;
    while (i < line.end()) {
      const size_t runStart = i;
      while (i < line.end() && plain.table[static_cast<unsigned char>(text[i])]) ++i;
      if (i > runStart) {
        MDElement* run = document.makeElement(MDElementType::None);
        run->range = {runStart, i - runStart};
        children.append(run);
      }
      if (i == line.end()) break;
      const char c = text[i];
      MDElement* replacement = document.makeElement(MDElementType::Entity);
      replacement->range = {i, 1};
      replacement->setStringValue(c == '&' ? "&amp;" : c == '<' ? "&lt;" : "&gt;");
      children.append(replacement);
      ++i;
    }
    MDElement* lineBreak = document.makeElement(MDElementType::None);
    lineBreak->range = {line.end(), 0};
    children.append(lineBreak);
  }
  element->setChildren(children);
}

}  // namespace markdown
