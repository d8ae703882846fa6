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

bool MDFailedStates::contains(const MDScanner& scanner, uint32_t kind, const State& state) {
  const Map* map = find(scanner.identifier(), kind);
  if (!map) return false;
  if (state.lookback != 0) return map->withLookback.count(state) > 0;
  if (state.location < map->base) return false;
  size_t offset = state.location - map->base;
  return offset / 64 < map->bits.size() && (map->bits[offset / 64] >> (offset % 64) & 1);
}

void MDFailedStates::insert(const MDScanner& scanner, uint32_t kind, const std::vector<State>& states, size_t from) {
  bool made = false;
  Kinds& kinds = scanners_.of(scanner.identifier(), made);
  Map* map = kinds.find(kind);
  if (!map) {
    last_ = {};  // the maps may move
    if (kinds.used == kinds.maps.size()) kinds.maps.emplace_back();
    auto& [mapKind, fresh] = kinds.maps[kinds.used++];
    mapKind = kind;
    const auto& lines = scanner.lineRanges();
    fresh.base = lines.front().location;
    fresh.bits.assign((lines.back().end() - fresh.base) / 64 + 1, 0);
    // A set left large by one long text is not kept: emptying it would cost its size.
    if (fresh.withLookback.bucket_count() > 1024) {
      fresh.withLookback = {};
    } else {
      fresh.withLookback.clear();
    }
    map = &fresh;
  }
  for (size_t i = from; i < states.size(); ++i) {
    const State& state = states[i];
    if (state.lookback != 0) {
      map->withLookback.insert(state);
      continue;
    }
    size_t offset = state.location - map->base;
    map->bits[offset / 64] |= uint64_t{1} << (offset % 64);
  }
}

}  // namespace markdown
