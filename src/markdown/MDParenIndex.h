#pragma once
// Where an inline link's target ends, worked out once per line of a scanner: the ')'
// that closes each '(' (a backslash passing the character after it) and, at each blank,
// the innermost '(' still open. Without it a line full of "[a](" that never close
// would be read to its end once per link text, in quadratic time.
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "markdown/MDScanner.h"
#include "markdown/MDScannerMemory.h"

namespace markdown {

class MDParenIndex {
 public:
  struct TargetEnd {
    enum Kind { None, Closed, Blank } kind = None;
    size_t location = 0;  // the closing ')' or the blank
  };
  // The end of the target that starts at `from` inside the parentheses opened at
  // `open` (on the current line): the ')' that brings them back to zero, or the first
  // blank when no other parenthesis is open there, or none.
  TargetEnd targetEnd(const MDScanner& scanner, size_t open, size_t from);
  // What is known of the scanner (by its identifier), or of every scanner, is forgotten.
  void forget(uint64_t scanner) { lines_.forget(scanner); }
  void forgetAll() { lines_.forgetAll(); }

 private:
  struct Line {
    std::vector<std::pair<size_t, size_t>> opens;   // '(' and its ')' (or npos)
    std::vector<std::pair<size_t, size_t>> blanks;  // blank and the innermost open '(' (or npos)
  };
  // The lines of one scanner worked out so far; the storage of each is kept for reuse.
  struct Lines {
    std::vector<uint32_t> slotOfLine;  // by line: 1 + the index into `built`, or 0
    std::vector<Line> built;
    size_t used = 0;
    void reset() {
      slotOfLine.clear();
      used = 0;
    }
  };
  void build(std::string_view text, MDRange range, Line& line);

  MDScannerMemory<Lines> lines_;
  std::vector<size_t> open_;  // the building's stack, kept for the next
};

}  // namespace markdown
