#include "markdown/MDFailedStates.h"

namespace markdown {

MDFailedStates::Map* MDFailedStates::Kinds::find(uint32_t kind) {
  for (size_t i = 0; i < used; ++i)
    if (maps[i].first == kind) return &maps[i].second;
  return nullptr;
}

MDFailedStates::Map* MDFailedStates::find(uint64_t scanner, uint32_t kind) {
  if (last_.scanner == scanner && last_.kind == kind) return last_.map;
  Kinds* kinds = scanners_.find(scanner);
  last_ = {scanner, kind, kinds ? kinds->find(kind) : nullptr};
  return last_.map;
}

std::optional<MDFailedStates::Failure> MDFailedStates::find(const MDScanner& scanner, const State& state) {
  const Map* map = find(scanner.identifier(), state.kind);
  if (!map) return std::nullopt;
  uint8_t known = 0;
  if (state.lookback != 0) {
    auto found = map->withLookback.find({state.location, state.lookback});
    if (found != map->withLookback.end()) known = found->second;
  } else if (state.location >= map->base && state.location - map->base < map->failures.size()) {
    known = map->failures[state.location - map->base];
  }
  if (!(known & kLevelBits)) return std::nullopt;
  return Failure{(known & kLevelBits) - 1u, (known & kSwitchedOn) != 0};
}

MDFailedStates::Map& MDFailedStates::made(Kinds& kinds, const MDScanner& scanner, uint32_t kind) {
  if (Map* known = kinds.find(kind)) return *known;
  last_ = {};  // the maps may move
  if (kinds.used == kinds.maps.size()) kinds.maps.emplace_back();
  auto& [mapKind, fresh] = kinds.maps[kinds.used++];
  mapKind = kind;
  const auto& lines = scanner.lineRanges();
  fresh.base = lines.front().location;
  fresh.failures.assign(lines.back().end() - fresh.base + 1, 0);
  // A table left large by one long text is not kept: emptying it would cost its size.
  if (fresh.withLookback.bucket_count() > 1024) {
    fresh.withLookback = {};
  } else {
    fresh.withLookback.clear();
  }
  return fresh;
}

void MDFailedStates::insert(const MDScanner& scanner, const std::vector<State>& states, size_t from,
                            unsigned depth, bool switchedBackOn) {
  bool fresh = false;
  Kinds& kinds = scanners_.of(scanner.identifier(), fresh);
  // A loop's states are mostly of one kind: the map is looked up again only when the
  // kind changes.
  Map* map = nullptr;
  uint32_t kind = 0;
  for (size_t i = from; i < states.size(); ++i) {
    const State& state = states[i];
    if (!map || state.kind != kind) {
      kind = state.kind;
      map = &made(kinds, scanner, kind);
    }
    const unsigned levels = state.deepest > depth ? state.deepest - depth : 0;
    const uint8_t value = static_cast<uint8_t>((levels + 1) | (switchedBackOn ? kSwitchedOn : 0));
    if (state.lookback != 0) {
      map->withLookback[{state.location, state.lookback}] = value;
    } else {
      map->failures[state.location - map->base] = value;
    }
  }
}

}  // namespace markdown
