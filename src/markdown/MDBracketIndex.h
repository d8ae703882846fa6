#pragma once
// Where each link text of a scanner's lines closes: the ']' at which the count of
// brackets opened after the '[' returns to zero, a backslash passing the character
// after it. Worked out once per scanner in one pass, so that a text full of '[' that
// never close is not searched to its end once per bracket.
#include <cstdint>
#include <string_view>
#include <vector>

#include "markdown/MDScanner.h"
#include "markdown/MDScannerMemory.h"

namespace markdown {

class MDBracketIndex {
 public:
  // The location of the ']' that closes the '[' at `open`, or npos.
  size_t closeOf(const MDScanner& scanner, size_t open);
  // What is known of the scanner (by its identifier), or of every scanner, is forgotten.
  void forget(uint64_t scanner) { tables_.forget(scanner); }
  void forgetAll() { tables_.forgetAll(); }

 private:
  struct Bracket {
    size_t open;
    size_t close;
  };
  struct Table {
    std::vector<Bracket> brackets;
    void reset() { brackets.clear(); }
  };
  void build(const MDScanner& scanner, std::vector<Bracket>& table);

  MDScannerMemory<Table> tables_;
  std::vector<size_t> active_, passive_;  // the building's stacks, kept for the next
};

}  // namespace markdown
