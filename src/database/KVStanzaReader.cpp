#include "database/KVStanzaReader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

KVStanzaReader::KVStanzaReader(const std::string& path) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ >= 0) buffer_.resize(kBlockSize);
}

KVStanzaReader::~KVStanzaReader() {
  if (fd_ >= 0) ::close(fd_);
}

bool KVStanzaReader::next(KVStanza& stanza) {
  stanza.clear();
  parser_.reset();
  std::string_view line;
  while (nextLine(line)) {
    if (parser_.apply(stanza, line) == KVControlLineParser::Line::Separator && !stanza.empty()) return true;
  }
  return !stanza.empty();
}

bool KVStanzaReader::nextLine(std::string_view& line) {
  if (fd_ < 0) return false;
  for (;;) {
    const char* start = buffer_.data() + begin_;
    size_t available = end_ - begin_;
    if (const void* nl = std::memchr(start + scanned_, '\n', available - scanned_)) {
      size_t length = static_cast<size_t>(static_cast<const char*>(nl) - start);
      line = std::string_view(start, length);
      begin_ += length + 1;
      scanned_ = 0;
      return true;
    }
    scanned_ = available;
    if (eof_) {
      if (available == 0) return false;
      line = std::string_view(start, available);  // last line without a line feed
      begin_ = end_;
      scanned_ = 0;
      return true;
    }
    fill();
  }
}

void KVStanzaReader::fill() {
  size_t pending = end_ - begin_;
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, pending);
    begin_ = 0;
    end_ = pending;
  }
  if (end_ == buffer_.size()) {
    buffer_.resize(buffer_.size() * 2);  // a line longer than the buffer: keep all of it
  } else if (buffer_.size() > 4 * kBlockSize && pending < kBlockSize) {
    buffer_.resize(kBlockSize);  // give back what an earlier very long line needed
    buffer_.shrink_to_fit();
  }
  for (;;) {
    ssize_t n = ::read(fd_, buffer_.data() + end_, buffer_.size() - end_);
    if (n > 0) {
      end_ += static_cast<size_t>(n);
      return;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) failed_ = true;
    eof_ = true;
    return;
  }
}
