#include "markdown/MDParenIndex.h"

#include <algorithm>

namespace markdown {

namespace {
constexpr size_t npos = std::string_view::npos;
}

void MDParenIndex::build(std::string_view text, MDRange range, Line& line) {
  line.opens.clear();
  line.blanks.clear();
  std::vector<size_t>& open = open_;  // indexes into line.opens
  open.clear();
  for (size_t i = range.location; i < range.end(); ++i) {
    const char c = text[i];
    if (c == '\\') {
      if (i + 1 < range.end()) ++i;
    } else if (c == '(') {
      open.push_back(line.opens.size());
      line.opens.emplace_back(i, npos);
    } else if (c == ')') {
      if (!open.empty()) {
        line.opens[open.back()].second = i;
        open.pop_back();
      }
    } else if (c == ' ' || c == '\t') {
      line.blanks.emplace_back(i, open.empty() ? npos : line.opens[open.back()].first);
    }
  }
}

MDParenIndex::TargetEnd MDParenIndex::targetEnd(const MDScanner& scanner, size_t open, size_t from) {
  bool made = false;
  Lines& lines = lines_.of(scanner.identifier(), made);
  if (made) lines.slotOfLine.assign(scanner.lineRanges().size(), 0);
  uint32_t& slot = lines.slotOfLine[scanner.rangeIndex()];
  if (slot == 0) {
    if (lines.used == lines.built.size()) lines.built.emplace_back();
    build(scanner.string(), scanner.currentLineRange(), lines.built[lines.used]);
    slot = static_cast<uint32_t>(++lines.used);
  }
  const Line& line = lines.built[slot - 1];
  auto paren = std::lower_bound(line.opens.begin(), line.opens.end(), std::make_pair(open, size_t{0}));
  if (paren == line.opens.end() || paren->first != open) return {};
  const size_t close = paren->second;
  auto blank = std::lower_bound(line.blanks.begin(), line.blanks.end(), std::make_pair(from, size_t{0}));
  const bool blankFirst = blank != line.blanks.end() && (close == npos || blank->first < close);
  if (!blankFirst) return close == npos ? TargetEnd{} : TargetEnd{TargetEnd::Closed, close};
  // At a blank the target's own parenthesis must be the only one open.
  if (blank->second != open) return {};
  return {TargetEnd::Blank, blank->first};
}

}  // namespace markdown
