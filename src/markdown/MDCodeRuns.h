#pragma once
// The runs of backticks in the lines of one scanner, found once, so that a code span
// learns at once how long its opening run is and whether any later run is long enough
// to close it. Without this, a run of n backticks is tried at each of its n places,
// each try counting the rest of the run and reading the rest of the text for a closer:
// time growing with the square of n.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace markdown {

class MDScanner;

class MDCodeRuns {
 public:
  // No runs, the storage kept for the next `read`.
  void reset();
  // The runs of the scanner's lines, in the scanner's order (a run never crosses the
  // end of a line), in place of those read before.
  void read(const MDScanner& scanner);

  // The backticks from `location` (inside a run) to the end of its run.
  size_t ticksFrom(size_t location) const;
  // Whether a run of at least `ticks` backticks begins at or after `location`.
  bool hasRunAfter(size_t location, size_t ticks) const;

 private:
  // The index of the first run that begins at or after `location`.
  size_t firstRunFrom(size_t location) const;

  std::vector<size_t> starts_;
  std::vector<uint32_t> lengths_;
  std::vector<uint32_t> longestFrom_;  // the longest run from each run on
};

}  // namespace markdown
