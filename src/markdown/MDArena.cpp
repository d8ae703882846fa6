#include "markdown/MDArena.h"

#include <cstdint>

namespace markdown {

namespace {

// How far `at` is from the next multiple of `alignment` (a power of two).
size_t paddingFor(const std::byte* at, size_t alignment) {
  return (0 - reinterpret_cast<uintptr_t>(at)) & (alignment - 1);
}

// The chunks this thread's finished arenas left for the next ones.
std::vector<std::unique_ptr<std::byte[]>>& spareChunks() {
  thread_local std::vector<std::unique_ptr<std::byte[]>> spare;
  return spare;
}

}  // namespace

MDArena::~MDArena() {
  auto& spare = spareChunks();
  for (auto& chunk : chunks_) {
    if (spare.size() * chunkSize >= keptBytes) break;
    spare.push_back(std::move(chunk));
  }
}

void* MDArena::do_allocate(size_t bytes, size_t alignment) {
  size_t padding = paddingFor(next_, alignment);
  if (padding + bytes > left_) [[unlikely]] {
    // A large piece gets a chunk of its own; the current chunk stays in use.
    if (bytes > chunkSize / 4) {
      large_.emplace_back(new std::byte[bytes + alignment]);  // not zeroed
      std::byte* start = large_.back().get();
      return start + paddingFor(start, alignment);
    }
    auto& spare = spareChunks();
    if (spare.empty()) {
      chunks_.emplace_back(new std::byte[chunkSize]);
    } else {
      chunks_.push_back(std::move(spare.back()));
      spare.pop_back();
    }
    next_ = chunks_.back().get();
    left_ = chunkSize;
    padding = paddingFor(next_, alignment);
  }
  std::byte* piece = next_ + padding;
  next_ = piece + bytes;
  left_ -= padding + bytes;
  return piece;
}

}  // namespace markdown
