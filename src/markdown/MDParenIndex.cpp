#include "markdown/MDParenIndex.h"

#include <algorithm>

namespace markdown {

namespace {
constexpr size_t npos = std::string_view::npos;
}

MDParenIndex::Line MDParenIndex::build(std::string_view text, MDRange range) {
  Line line;
  std::vector<size_t> open;  // indexes into line.opens
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
  return line;
}

MDParenIndex::TargetEnd MDParenIndex::targetEnd(const MDScanner& scanner, size_t open, size_t from) {
  auto [it, made] = lines_.try_emplace({scanner.identifier(), scanner.rangeIndex()});
  if (made) it->second = build(scanner.string(), scanner.currentLineRange());
  const Line& line = it->second;
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
