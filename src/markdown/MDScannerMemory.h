#pragma once
// What a parser remembers of the scanners it reads (where link texts close, the runs of
// backticks, the places where a reading failed), kept only while a scanner can still be
// read. The span parser reads a block through one scanner and, inside it, each link text
// through one of its own, and forgets each scanner when its reading ends: so there are
// never more memories than scanners nested at one time, and the storage of a forgotten
// one serves the next. A memory per scanner kept to the end of the document grew with
// its length, and making and freeing one per block was a fifth of a long document's
// parse.
//
// `Memory` has `reset()`, which empties it and keeps what it allocated.
#include <cstdint>
#include <deque>
#include <utility>

namespace markdown {

template <class Memory>
class MDScannerMemory {
 public:
  // The memory of the scanner (by its identifier), or null when it has none.
  Memory* find(uint64_t scanner) {
    for (size_t i = used_; i-- > 0;)
      if (slots_[i].first == scanner) return &slots_[i].second;
    return nullptr;
  }

  // The memory of the scanner; `made` tells whether it is new (and so empty). A memory
  // stays where it is until it is forgotten.
  Memory& of(uint64_t scanner, bool& made) {
    made = false;
    if (Memory* known = find(scanner)) return *known;
    made = true;
    if (used_ == slots_.size()) slots_.emplace_back();
    auto& slot = slots_[used_++];
    slot.first = scanner;
    slot.second.reset();
    return slot.second;
  }

  void forget(uint64_t scanner) {
    for (size_t i = 0; i < used_; ++i) {
      if (slots_[i].first != scanner) continue;
      std::swap(slots_[i], slots_[used_ - 1]);
      --used_;
      return;
    }
  }
  void forgetAll() { used_ = 0; }
  bool empty() const { return used_ == 0; }

 private:
  std::deque<std::pair<uint64_t, Memory>> slots_;
  size_t used_ = 0;
};

}  // namespace markdown
