#pragma once
// Where each link text of a scanner's lines closes: the ']' at which the count of
// brackets opened after the '[' returns to zero, a backslash passing the character
// after it. Worked out once per scanner in one pass, so that a text full of '[' that
// never close is not searched to its end once per bracket.
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "markdown/MDScanner.h"

namespace markdown {

class MDBracketIndex {
 public:
  // The location of the ']' that closes the '[' at `open`, or npos.
  size_t closeOf(const MDScanner& scanner, size_t open);
  void clear() { tables_.clear(); }

 private:
  struct Bracket {
    size_t open;
    size_t close;
  };
  static std::vector<Bracket> build(const MDScanner& scanner);

  std::unordered_map<uint64_t, std::vector<Bracket>> tables_;
};

}  // namespace markdown
