#include "markdown/MDBracketIndex.h"

#include <algorithm>

namespace markdown {

size_t MDBracketIndex::closeOf(const MDScanner& scanner, size_t open) {
  bool made = false;
  std::vector<Bracket>& table = tables_.of(scanner.identifier(), made).brackets;
  if (made) build(scanner, table);
  auto found = std::lower_bound(table.begin(), table.end(), open,
                                [](const Bracket& b, size_t location) { return b.open < location; });
  if (found == table.end() || found->open != open) return std::string_view::npos;
  return found->close;
}

// A '[' that a backslash escapes counts for no other link text, but a link text may
// still open at it (when the backslash belongs to the construct before): it is kept
// as a "passive" entry that closes with the first ']' its own count would reach,
// which is the first ']' that finds it on top of the stack.
void MDBracketIndex::build(const MDScanner& scanner, std::vector<Bracket>& table) {
  constexpr size_t npos = std::string_view::npos;
  std::vector<size_t>& active = active_;    // indexes into `table` of the brackets that count
  std::vector<size_t>& passive = passive_;  // indexes of escaped ones still open, in order
  active.clear();
  passive.clear();
  std::string_view text = scanner.string();
  auto closeAt = [&](size_t at) {
    // Passive entries opened after the innermost counting one close here first.
    size_t floor = active.empty() ? 0 : table[active.back()].open;
    while (!passive.empty() && table[passive.back()].open > floor) {
      table[passive.back()].close = at;
      passive.pop_back();
    }
    if (!active.empty()) {
      table[active.back()].close = at;
      active.pop_back();
    }
  };
  for (const MDRange& line : scanner.lineRanges()) {
    for (size_t i = line.location; i < line.end(); ++i) {
      char c = text[i];
      if (c == '\\' && i + 1 < line.end()) {
        ++i;
        if (text[i] == '[') {
          passive.push_back(table.size());
          table.push_back({i, npos});
        }
      } else if (c == '[') {
        active.push_back(table.size());
        table.push_back({i, npos});
      } else if (c == ']') {
        closeAt(i);
      }
    }
  }
}

}  // namespace markdown
