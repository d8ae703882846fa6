#pragma once
// The block parser: expands tabs, cuts the text into block elements line by line,
// hands the content of every block that holds inline text to the span parser and
// finally resolves reference links against the link definitions. Made per call; it
// keeps no state between calls except its extension mask.
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "markdown/MDDocument.h"
#include "markdown/MDHTMLParser.h"
#include "markdown/MDLinkDefinitions.h"
#include "markdown/MDScanner.h"
#include "markdown/MDSpanParser.h"
#include "markdown/MDTextSearch.h"

namespace markdown {

class MDParser {
 public:
  explicit MDParser(unsigned extensions);

  unsigned extensions() const { return extensions_; }
  MDHTMLParser& htmlParser() { return htmlParser_; }
  MDSpanParser& spanParser() { return spanParser_; }

  // Off, the parsers remember no failed attempt (see MDHTMLParser and MDSpanParser):
  // the plain algorithms, exponential on some texts, kept to check the fast ones.
  void setRemembersFailures(bool remembers) {
    htmlParser_.setRemembersFailures(remembers);
    spanParser_.setRemembersFailures(remembers);
  }

  // Never fails: every text yields a document (the empty text an empty one).
  std::unique_ptr<MDDocument> parseMarkdown(std::string_view markdown);

  // Every tab becomes the 1 to 4 spaces that reach the next multiple of 4 columns
  // (counted from the last line feed); bytes that are not UTF-8 become U+FFFD.
  static std::string removeTabsFromString(std::string_view text);

  // Blocks nest no deeper than this (block quotations and lists inside each other);
  // deeper markers are read as text, so no input can exhaust the stack.
  static constexpr unsigned maximumNesting = 64;

 private:
  friend class MDListParser;

  std::vector<MDElement*> parseElements(MDScanner& scanner);
  MDElement* parseBlockElement(MDScanner& scanner);
  MDElement* parsePrefixHeader(MDScanner& scanner);
  MDElement* parseUnderlinedHeader(MDScanner& scanner);
  MDElement* parseBlockquote(MDScanner& scanner);
  MDElement* parseHorizontalRule(MDScanner& scanner);
  MDElement* parseParagraph(MDScanner& scanner, bool acceptFirstLine);

  bool isHorizontalRule(MDScanner& scanner);
  bool endsParagraph(MDScanner& scanner, size_t lineStart);
  void addTextLine(MDElement* element, MDScanner& scanner);
  void parseSpanContent(MDElement* element);
  // The elements of a container's content, `levels` below it in the tree.
  std::vector<MDElement*> parseNestedElements(std::span<const MDRange> ranges, unsigned levels);

  MDElement* make(MDElementType type) { return document_->makeElement(type); }
  std::string_view text() const { return document_->markdown(); }

  unsigned extensions_;
  MDHTMLParser htmlParser_;
  MDSpanParser spanParser_;
  MDTextSearch search_;
  MDDocument* document_ = nullptr;
  unsigned depth_ = 0;
  unsigned treeDepth_ = 0;
  // The last rule test that failed past its first marker: the markers it walked, from
  // `from` to `stop`, on the line ending at `lineEnd`.
  struct FailedRule {
    size_t from = 0, stop = 0, lineEnd = 0;
  } failedRule_;
  MDLinkDefinitions definitions_;
};

}  // namespace markdown
