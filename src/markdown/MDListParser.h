#pragma once
// Lists for the block parser: the list with its items, an item's lines (lazy ones, loose
// ones after blank lines, a list nested in it), and the list markers the other block
// recognisers look for too.
#include "markdown/MDParser.h"

namespace markdown {

class MDListParser {
 public:
  // Bulleted: '*', '+' or '-'; numbered: decimal digits and '.'.
  enum class Kind { Bulleted, Numbered };

  explicit MDListParser(MDParser& parser) : parser_(parser) {}

  // A list at the location (after at most 3 columns of indentation), or nothing.
  MDElement* parseList(MDScanner& scanner);

  // A marker of the kind followed by one space; both are passed.
  static bool parseListMarker(MDScanner& scanner, Kind kind);
  static bool parseAnyListMarker(MDScanner& scanner);

 private:
  MDElement* parseListItem(MDScanner& scanner, Kind kind);

  MDParser& parser_;
};

}  // namespace markdown
