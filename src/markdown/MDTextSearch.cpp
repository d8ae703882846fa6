#include "markdown/MDTextSearch.h"

#include <algorithm>

namespace markdown {

size_t MDTextSearch::find(const MDScanner& scanner, std::string_view pattern, unsigned patternKey, bool acrossLines) {
  constexpr size_t npos = std::string_view::npos;
  const size_t from = scanner.location();
  const MDScannerKey key{scanner.identifier(), patternKey * 2 + (acrossLines ? 1u : 0u)};
  auto known = answers_.find(key);
  // An earlier search from `a` that found `f` (or nothing) answers every search from a
  // place between `a` and `f`: nothing can start in between.
  if (known != answers_.end() && from >= known->second.from &&
      (known->second.found == npos || from <= known->second.found) &&
      (acrossLines || known->second.line == scanner.rangeIndex()))
    return known->second.found;

  std::string_view text = scanner.string();
  const auto& lines = scanner.lineRanges();
  size_t found = npos;
  size_t start = from;
  for (size_t index = scanner.rangeIndex(); index < lines.size(); ++index) {
    size_t end = lines[index].end();
    if (start + pattern.size() <= end) {
      size_t at = text.substr(0, end).find(pattern, start);
      if (at != npos) {
        found = at;
        break;
      }
    }
    if (!acrossLines) break;
    if (index + 1 < lines.size()) start = lines[index + 1].location;
  }
  answers_[key] = {from, found, scanner.rangeIndex()};
  return found;
}

void MDTextSearch::forget(uint64_t scanner) {
  if (answers_.empty()) return;
  for (unsigned key = 0; key < PatternCount * 2; ++key) answers_.erase({scanner, key});
}

void MDTextSearch::forgetAll() {
  if (answers_.empty()) return;
  // A table left large by one long text is not kept: emptying it would cost its size.
  if (answers_.bucket_count() > 1024) {
    answers_ = {};
  } else {
    answers_.clear();
  }
}

}  // namespace markdown
