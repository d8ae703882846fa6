#include "database/KVChunkChannel.h"

#include <algorithm>
#include <cstring>

bool KVChunkChannel::write(const uint8_t* bytes, size_t size) {
  if (size == 0) return true;
  std::vector<uint8_t> chunk(bytes, bytes + size);
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return abandoned_ || chunks_.size() < max_; });
  if (abandoned_) return false;
  chunks_.push_back(std::move(chunk));
  changed_.notify_all();
  return true;
}

void KVChunkChannel::close() {
  std::lock_guard<std::mutex> lock(mutex_);
  closed_ = true;
  changed_.notify_all();
}

ssize_t KVChunkChannel::read(char* bytes, size_t size) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return closed_ || !chunks_.empty(); });
  size_t copied = 0;
  while (copied < size && !chunks_.empty()) {
    const auto& front = chunks_.front();
    size_t piece = std::min(size - copied, front.size() - offset_);
    std::memcpy(bytes + copied, front.data() + offset_, piece);
    copied += piece;
    offset_ += piece;
    if (offset_ == front.size()) {
      chunks_.pop_front();
      offset_ = 0;
    }
  }
  changed_.notify_all();
  return static_cast<ssize_t>(copied);
}

void KVChunkChannel::abandon() {
  std::lock_guard<std::mutex> lock(mutex_);
  abandoned_ = true;
  chunks_.clear();
  changed_.notify_all();
}
