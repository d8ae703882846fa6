#include "markdown/MDFailedStates.h"

namespace markdown {

bool MDFailedStates::contains(const MDScanner& scanner, uint32_t kind, const State& state) const {
  auto it = maps_.find({scanner.identifier(), kind});
  if (it == maps_.end()) return false;
  const Map& map = it->second;
  if (state.lookback != 0) return map.withLookback.count(state) > 0;
  if (state.location < map.base) return false;
  size_t offset = state.location - map.base;
  return offset / 64 < map.bits.size() && (map.bits[offset / 64] >> (offset % 64) & 1);
}

void MDFailedStates::insert(const MDScanner& scanner, uint32_t kind, const std::vector<State>& states, size_t from) {
  Map& map = maps_[{scanner.identifier(), kind}];
  if (map.bits.empty()) {
    const auto& lines = scanner.lineRanges();
    map.base = lines.front().location;
    map.bits.assign((lines.back().end() - map.base) / 64 + 1, 0);
  }
  for (size_t i = from; i < states.size(); ++i) {
    const State& state = states[i];
    if (state.lookback != 0) {
      map.withLookback.insert(state);
      continue;
    }
    size_t offset = state.location - map.base;
    map.bits[offset / 64] |= uint64_t{1} << (offset % 64);
  }
}

void MDFailedStates::clear() { maps_.clear(); }

}  // namespace markdown
