#pragma once
// The span parser: turns the content lines of one block (a header, a paragraph, a
// tight list item, a link text, a table cell) into inline elements. Plain text stays
// a range of the source; only the characters it replaces become entity elements.
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "markdown/MDAutolinks.h"
#include "markdown/MDCodeRuns.h"
#include "markdown/MDDocument.h"
#include "markdown/MDFailedStates.h"
#include "markdown/MDHTMLParser.h"
#include "markdown/MDLinkParser.h"
#include "markdown/MDScanner.h"
#include "markdown/MDScannerMemory.h"

namespace markdown {

class MDSpanParser {
 public:
  explicit MDSpanParser(unsigned extensions);

  unsigned extensions() const { return extensions_; }
  MDHTMLParser& htmlParser() { return htmlParser_; }
  MDElement* blockElement() const { return blockElement_; }
  bool parseEm() const { return parseEm_; }
  bool parseStrong() const { return parseStrong_; }
  bool parseLinks() const { return parseLinks_; }
  bool parseImages() const { return parseImages_; }

  // The document the elements are made for; the memories of one document are
  // forgotten at its end.
  void beginDocument(MDDocument& document);
  void endDocument();

  // The reference links and images made since the document began, for the block
  // parser to resolve at its end.
  const std::vector<MDElement*>& references() const { return links_.references(); }

  // The inline elements of a block, or nothing when its content is empty.
  std::optional<MDElementList> parseSpansInBlockElement(MDElement* block, MDScanner& scanner);
  // One cell per alignment, or nothing when the row runs out of cells.
  std::optional<MDElementList> parseSpansInTableColumns(const std::vector<int>& alignments, MDScanner& scanner);

  // Off, the places of failed readings are not remembered: exponential on unclosed
  // markers, kept as the reference the remembering parser must agree with.
  void setRemembersFailures(bool remembers) { remembersFailures_ = remembers; }

  // Emphasis and strikethrough nest no deeper than this: where reading a block would
  // nest them deeper (whether or not they close), the block's emphasis and
  // strikethrough are all read as text. Where the limit stops a reading depends only on
  // the text, not on how deep the reading began, so a remembered failure holds wherever
  // it is met again.
  static constexpr unsigned maximumNesting = 48;
  static_assert(maximumNesting <= MDFailedStates::kMostLevels);

 private:
  // What ends the content of a construct.
  struct ClosingTest {
    enum Kind : uint8_t { EndOfText, Strikethrough, Emphasis, TableCell } kind = EndOfText;
    unsigned char marker = 0;  // emphasis: '*' or '_'
    unsigned owed = 0;         // emphasis: closing markers still owed
  };
  std::optional<MDElementList> parseWithScanner(MDScanner& scanner, ClosingTest& test);
  // What `read` reads from the scanner's place, or, where its emphasis would nest past
  // the limit, what it reads again from there with emphasis as text.
  std::optional<MDElementList> withinNestingLimit(MDScanner& scanner,
                                                  const std::function<std::optional<MDElementList>()>& read);
  std::optional<MDElementList> readTableColumns(const std::vector<int>& alignments, MDScanner& scanner);
  bool runTest(MDScanner& scanner, ClosingTest& test);
  MDElement* parseNextElement(MDScanner& scanner, size_t runStart);
  MDElement* parseStrikethrough(MDScanner& scanner);
  MDElement* parseBackslash(MDScanner& scanner);
  MDElement* parseEmAndStrong(MDScanner& scanner);
  MDElement* parseCodeSpan(MDScanner& scanner);
  // The backtick runs of the scanner's lines, found at its first code span.
  const MDCodeRuns& codeRunsOf(const MDScanner& scanner);
  // What the parser and its recognisers know of the scanner, whose reading has ended,
  // or of every scanner, at the end of a block's reading: nothing of it is asked again.
  void forgetScanner(const MDScanner& scanner);
  void forgetAllScanners();
  MDElement* parseLineBreak(MDScanner& scanner);
  MDElement* parseLink(MDScanner& scanner);
  MDElement* parseImage(MDScanner& scanner);
  MDElement* parseAmpersand(MDScanner& scanner);

  MDElement* make(MDElementType type, MDRange range);
  // `text` is a literal or a piece of the source: it must outlive the document.
  MDElement* makeEntity(MDRange range, std::string_view text);
  MDElement* makeText(size_t from, size_t to) { return make(MDElementType::None, {from, to - from}); }
  std::string_view text() const { return document_->markdown(); }
  uint32_t signature(const ClosingTest& test) const;

  unsigned extensions_;
  MDHTMLParser htmlParser_;
  MDElement* blockElement_ = nullptr;
  bool parseEm_ = true;
  bool parseStrong_ = true;
  bool parseLinks_ = true;
  bool parseImages_ = true;
  bool remembersFailures_ = true;

  MDDocument* document_ = nullptr;
  unsigned depth_ = 0;
  unsigned reach_ = 0;     // the deepest loop a reading started (see parseWithScanner)
  bool tooDeep_ = false;   // a reading would nest past the limit: every loop gives up
  bool emphasisAsText_ = false;
  MDAutolinks autolinks_;
  MDLinkParser links_;
  MDFailedStates failedStates_;
  std::vector<MDFailedStates::State> visited_;
  MDScannerMemory<MDCodeRuns> codeRuns_;
};

}  // namespace markdown
