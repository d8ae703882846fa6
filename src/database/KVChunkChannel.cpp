#include "database/KVChunkChannel.h"

#include <algorithm>
#include <cstring>

bool KVChunkChannel::write(const uint8_t* bytes, size_t size) {
  if (size == 0) return true;
  std::vector<uint8_t> chunk;
  {
    std::lock_guard<std::mutex> lock(spareMutex_);
    if (!spare_.empty()) {
      chunk = std::move(spare_.back());
      spare_.pop_back();
    }
  }
  chunk.assign(bytes, bytes + size);
  return chunks_.push(std::move(chunk));
}

ssize_t KVChunkChannel::read(char* bytes, size_t size) {
  if (offset_ == current_.size()) {
    auto next = chunks_.pop();
    if (!next) return 0;
    {
      std::lock_guard<std::mutex> lock(spareMutex_);
      if (spare_.size() < kSpareChunks && current_.capacity() > 0) spare_.push_back(std::move(current_));
    }
    current_ = std::move(*next);
    offset_ = 0;
  }
  size_t piece = std::min(size, current_.size() - offset_);
  std::memcpy(bytes, current_.data() + offset_, piece);
  offset_ += piece;
  return static_cast<ssize_t>(piece);
}
