#pragma once
// Finding the next occurrence of a short pattern across the lines of a scanner, with a
// memory of the last answer per scanner and pattern. Recognisers that search ahead
// (an HTML comment's "-->", the '>' that ends an automatic link) are tried at many
// places of one text; without the memory a text full of unclosed openings would be
// searched once per opening, in quadratic time.
#include <cstdint>
#include <string_view>
#include <unordered_map>

#include "markdown/MDScanner.h"

namespace markdown {

class MDTextSearch {
 public:
  // The patterns searched for, as keys of the memory.
  enum Pattern : unsigned {
    CommentEnd = 0,      // "-->"
    DoubleQuote = 1,     // a quoted attribute value's end
    Apostrophe = 2,
    TagEnd = 3,          // '>'
    TitleEnd = 4,        // a double quote followed by ')'
    PatternCount = 5,
  };

  // Where `pattern` next starts at or after the scanner's location, searching the rest
  // of the current line and then (with `acrossLines`) the following lines; npos when it
  // does not occur. `patternKey` names the pattern in the memory (a `Pattern`).
  size_t find(const MDScanner& scanner, std::string_view pattern, unsigned patternKey, bool acrossLines);
  // What is known of the scanner (by its identifier), or of every scanner, is forgotten.
  void forget(uint64_t scanner);
  void forgetAll();

 private:
  struct Answer {
    size_t from;
    size_t found;
    size_t line;  // where `from` is; a search within one line answers only for that line
  };
  std::unordered_map<MDScannerKey, Answer, MDScannerKeyHash> answers_;  // by scanner and pattern
};

}  // namespace markdown
