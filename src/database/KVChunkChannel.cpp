#include "database/KVChunkChannel.h"

#include <algorithm>
#include <cstring>

ssize_t KVChunkChannel::read(char* bytes, size_t size) {
  if (offset_ == current_.size()) {
    auto next = chunks_.pop();
    if (!next) return 0;
    current_ = std::move(*next);
    offset_ = 0;
  }
  size_t piece = std::min(size, current_.size() - offset_);
  std::memcpy(bytes, current_.data() + offset_, piece);
  offset_ += piece;
  return static_cast<ssize_t>(piece);
}
