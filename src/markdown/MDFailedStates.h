#pragma once
// The places where the span parser's inner loop, reading the content of a construct
// that then never closed, has already been: per scanner and per kind of state (the
// closing test and the nesting switches as they were at that place), one byte per byte
// of the scanner's text. Every later loop that reaches such a place in the same state
// fails the same way, so it gives up there, and leaves the switches as the failed
// reading did (an emphasis tried after the place switches both kinds back on as it
// ends, whatever they were). How many levels the failed reading nested below its loop
// is kept too: met deeper down, the same reading would pass the nesting limit.
//
// The rare states that also depend on how far an autolink may look back are kept apart.
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "markdown/MDScanner.h"
#include "markdown/MDScannerMemory.h"

namespace markdown {

class MDFailedStates {
 public:
  struct State {
    size_t location;
    size_t lookback;  // 0 when no autolink can look back past the location
    uint32_t kind;    // the closing test and the switches there (MDSpanParser::signature)
    unsigned deepest = 0;  // the depth of the deepest loop the reading started after it
  };
  // How a failed reading went.
  struct Failure {
    unsigned levels;      // nested below its loop
    bool switchedBackOn;  // it left both switches on
  };
  static constexpr unsigned kMostLevels = 62;

  bool empty() const { return scanners_.empty(); }
  // How a reading from the state fails, if that is known.
  std::optional<Failure> find(const MDScanner& scanner, const State& state);
  // Remembers the readings from states[from...], of a loop at `depth`, as failing.
  void insert(const MDScanner& scanner, const std::vector<State>& states, size_t from, unsigned depth,
              bool switchedBackOn);
  // What is known of the scanner (by its identifier), or of every scanner, is forgotten.
  void forget(uint64_t scanner) {
    scanners_.forget(scanner);
    last_ = {};
  }
  void forgetAll() {
    scanners_.forgetAll();
    last_ = {};
  }

 private:
  // A failure in one byte: the levels plus one in the low six bits (0: nothing known),
  // then whether it left the switches on.
  static constexpr uint8_t kLevelBits = 0x3F, kSwitchedOn = 0x40;

  struct PlaceHash {
    size_t operator()(const std::pair<size_t, size_t>& p) const {
      return std::hash<uint64_t>()(p.first * 0x9E3779B97F4A7C15ull ^ p.second);
    }
  };
  struct Map {
    size_t base = 0;
    std::vector<uint8_t> failures;  // by location - base
    std::unordered_map<std::pair<size_t, size_t>, uint8_t, PlaceHash> withLookback;
  };
  // The maps of one scanner, by kind (a loop meets few kinds); their storage is kept.
  struct Kinds {
    std::vector<std::pair<uint32_t, Map>> maps;
    size_t used = 0;
    void reset() { used = 0; }
    Map* find(uint32_t kind);
  };

  Map* find(uint64_t scanner, uint32_t kind);
  // The map of the kind, made empty when the scanner has none yet.
  Map& made(Kinds& kinds, const MDScanner& scanner, uint32_t kind);

  MDScannerMemory<Kinds> scanners_;
  // The last map asked for (a loop asks at every step with the same scanner and kind),
  // or none; forgotten whenever a map is made or forgotten.
  struct Last {
    uint64_t scanner = 0;  // none: identifiers start at 1
    uint32_t kind = 0;
    Map* map = nullptr;
  } last_;
};

}  // namespace markdown
