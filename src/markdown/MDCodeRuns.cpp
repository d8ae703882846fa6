#include "markdown/MDCodeRuns.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "markdown/MDScanner.h"

namespace markdown {

void MDCodeRuns::reset() {
  starts_.clear();
  lengths_.clear();
  longestFrom_.clear();
}

void MDCodeRuns::read(const MDScanner& scanner) {
  reset();
  const std::string_view text = scanner.string();
  for (const MDRange& line : scanner.lineRanges()) {
    size_t at = line.location;
    const size_t end = line.end();
    while (at < end) {
      const void* tick = std::memchr(text.data() + at, '`', end - at);
      if (!tick) break;
      size_t start = static_cast<size_t>(static_cast<const char*>(tick) - text.data());
      at = start;
      while (at < end && text[at] == '`') ++at;
      starts_.push_back(start);
      lengths_.push_back(static_cast<uint32_t>(std::min<size_t>(at - start, std::numeric_limits<uint32_t>::max())));
    }
  }
  longestFrom_.resize(lengths_.size());
  uint32_t longest = 0;
  for (size_t i = lengths_.size(); i-- > 0;) longestFrom_[i] = longest = std::max(longest, lengths_[i]);
}

size_t MDCodeRuns::firstRunFrom(size_t location) const {
  return static_cast<size_t>(std::lower_bound(starts_.begin(), starts_.end(), location) - starts_.begin());
}

size_t MDCodeRuns::ticksFrom(size_t location) const {
  size_t next = firstRunFrom(location + 1);  // the run holding `location` is the one before
  if (next == 0) return 0;
  const size_t run = next - 1;
  const size_t end = starts_[run] + lengths_[run];
  return location < end ? end - location : 0;
}

bool MDCodeRuns::hasRunAfter(size_t location, size_t ticks) const {
  size_t first = firstRunFrom(location);
  return first < starts_.size() && longestFrom_[first] >= ticks;
}

}  // namespace markdown
