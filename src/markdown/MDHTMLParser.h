#pragma once
// Recognises raw HTML for both Markdown parsers: block-level HTML and comments for the
// block parser, inline tags and comments for the span parser. Each recogniser runs
// inside the caller's transaction and returns an element of type HTML, or nothing.
#include <array>
#include <cstdint>
#include <string_view>
#include <unordered_map>

#include "markdown/MDDocument.h"
#include "markdown/MDScanner.h"
#include "markdown/MDTextSearch.h"

namespace markdown {

class MDHTMLParser {
 public:
  // A block tag at the beginning of a line: first the strict form (the open tag, then
  // everything up to its matching end tag, nested blocks, comments and inline tags
  // allowed in between), then the lenient one (up to the tag's '>' and on to the next
  // empty line).
  MDElement* parseBlockTagWithScanner(MDScanner& scanner, MDDocument& document);
  MDElement* parseCommentWithScanner(MDScanner& scanner, MDDocument& document);
  // `stringValue` is the tag's name.
  MDElement* parseInlineTagWithScanner(MDScanner& scanner, MDDocument& document);

  static constexpr size_t blockTagCount = 22;

  // What the inline recognisers' searches know of the scanner (by its identifier), or of
  // every scanner, is forgotten.
  void forgetSearches(uint64_t scanner) { search_.forget(scanner); }
  void forgetAllSearches() { search_.forgetAll(); }

  // Off, the strict form is scanned plainly, nested blocks by recursion and nothing
  // remembered: exponential in unclosed tags, kept as the reference the fast scan must
  // agree with.
  void setRemembersFailures(bool remembers) { remembersFailures_ = remembers; }

 private:
  using SeenEndTags = std::array<size_t, blockTagCount>;
  // What a strict block attempt came to: its end, or where it failed together with the
  // first end tag of every block name on its way (a failed block's way is also the way
  // of the block around it, which may end at one of those).
  struct StrictResult {
    bool complete = false;
    size_t end = 0;
    size_t failedAt = 0;
    SeenEndTags seen{};
  };

  bool strictBlock(MDScanner& scanner);
  bool plainStrictBlock(MDScanner& scanner);
  bool lenientBlock(MDScanner& scanner);
  int parseBlockOpenTag(MDScanner& scanner);
  int parseBlockEndTag(MDScanner& scanner);
  bool passComment(MDScanner& scanner);
  bool passInlineTag(MDScanner& scanner, std::string_view* name);
  void passAttributes(MDScanner& scanner);
  bool passQuotedValue(MDScanner& scanner);
  bool passToNextTagStart(MDScanner& scanner);

  bool remembersFailures_ = true;
  MDTextSearch search_;
  // Strict block attempts already made in this parse, by scanner and place: without
  // them nested unclosed block tags take exponential time.
  std::unordered_map<MDScannerKey, StrictResult, MDScannerKeyHash> strictResults_;
};

}  // namespace markdown
