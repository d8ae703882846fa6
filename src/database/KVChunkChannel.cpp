#include "database/KVChunkChannel.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
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

KVFileFollower::~KVFileFollower() {
  if (fd_ >= 0) ::close(fd_);
}

bool KVFileFollower::advance(size_t size) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (abandoned_) return false;
    written_ += size;
  }
  more_.notify_one();
  return true;
}

void KVFileFollower::close() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
  }
  more_.notify_one();
}

void KVFileFollower::abandon() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    abandoned_ = true;
  }
  more_.notify_one();
}

ssize_t KVFileFollower::read(char* bytes, size_t size) {
  uint64_t available;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    more_.wait(lock, [&] { return written_ > read_ || closed_ || abandoned_; });
    available = abandoned_ ? 0 : written_ - read_;
  }
  if (available == 0) return 0;
  const size_t piece = static_cast<size_t>(std::min<uint64_t>(size, available));
  ssize_t n;
  do n = ::pread(fd_, bytes, piece, static_cast<off_t>(read_));
  while (n < 0 && errno == EINTR);
  // Fewer bytes than were written means the file changed under us: as good as unreadable.
  if (n <= 0) return -1;
  read_ += static_cast<uint64_t>(n);
  return n;
}
