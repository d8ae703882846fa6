#pragma once
// Links and images for the span parser: the bracketed link text, then either an inline
// target ("(target "title")") or a reference name ("[name]", empty for the text itself;
// no shortcut references). The recognisers return a bare link whose inner ranges are
// the text's lines; the span parser reads that text and makes images of them.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "markdown/MDBracketIndex.h"
#include "markdown/MDDocument.h"
#include "markdown/MDParenIndex.h"
#include "markdown/MDScanner.h"
#include "markdown/MDTextSearch.h"

namespace markdown {

class MDLinkParser {
 public:
  MDElement* parseInlineLink(MDScanner& scanner, MDDocument& document);
  MDElement* parseReferenceLink(MDScanner& scanner, MDDocument& document);

  // The reference links made since the last clear, for the block parser to resolve.
  const std::vector<MDElement*>& references() const { return references_; }
  void clear();
  // What is known of the scanner (by its identifier), or of every scanner, is forgotten;
  // the reference links stay.
  void forget(uint64_t scanner);
  void forgetAll();

  // The text of the ranges, with the separator between them.
  static std::string joined(std::string_view text, std::span<const MDRange> ranges, std::string_view separator);

 private:
  // '[' and the text up to its matching ']' (brackets counted, a backslash passing the
  // next character), one range per line into `pieces`; false when it never closes.
  bool parseLinkTextBody(MDScanner& scanner, std::vector<MDRange>& pieces);

  MDBracketIndex brackets_;
  MDParenIndex parens_;
  MDTextSearch search_;
  std::vector<MDElement*> references_;
  // The ranges of the link text and of the reference name being read, kept for the next.
  std::vector<MDRange> text_, name_;
  std::string href_;
};

}  // namespace markdown
