#pragma once
// The places where the span parser's inner loop, reading the content of a construct
// that then never closed, has already been: per scanner and per kind of loop (the
// closing test and the nesting switches), one bit per byte of the scanner's text.
// Every later loop of the same kind that reaches such a place in the same state fails
// the same way, so it gives up there. The rare states that also depend on how far an
// autolink may look back are kept apart.
#include <cstdint>
#include <unordered_set>
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
  };

  bool empty() const { return scanners_.empty(); }
  bool contains(const MDScanner& scanner, uint32_t kind, const State& state);
  // Remembers states[from...] as failed.
  void insert(const MDScanner& scanner, uint32_t kind, const std::vector<State>& states, size_t from = 0);
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
  struct StateHash {
    size_t operator()(const State& s) const {
      return std::hash<uint64_t>()(s.location * 0x9E3779B97F4A7C15ull ^ s.lookback);
    }
  };
  struct StateEqual {
    bool operator()(const State& a, const State& b) const {
      return a.location == b.location && a.lookback == b.lookback;
    }
  };
  struct Map {
    size_t base = 0;
    std::vector<uint64_t> bits;
    std::unordered_set<State, StateHash, StateEqual> withLookback;
  };
  // The maps of one scanner, by kind (a loop meets few kinds); their storage is kept.
  struct Kinds {
    std::vector<std::pair<uint32_t, Map>> maps;
    size_t used = 0;
    void reset() { used = 0; }
    Map* find(uint32_t kind);
  };

  Map* find(uint64_t scanner, uint32_t kind);

  MDScannerMemory<Kinds> scanners_;
  // The last map asked for (a loop asks at every step with the same scanner and kind),
  // or none; forgotten whenever a map is made or forgotten.
  struct Last {
    uint64_t scanner = 0;
    uint32_t kind = 0;
    Map* map = nullptr;
  } last_;
};

}  // namespace markdown
