#include "database/KVStanzaReader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

KVStanzaReader::KVStanzaReader(const std::string& path) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ >= 0) buffer_.resize(kBlockSize + kPadding);
}

KVStanzaReader::KVStanzaReader(ReadFunction read) : read_(std::move(read)) {
  if (read_) buffer_.resize(kBlockSize + kPadding);
}

KVStanzaReader::~KVStanzaReader() {
  if (fd_ >= 0) ::close(fd_);
}

[[gnu::always_inline]] inline bool KVStanzaReader::nextLine(size_t& start, size_t& length, KVControlLineParser::Hints& hints) {
  const char* first = buffer_.data() + begin_;
  size_t available = end_ - begin_;
  bool found = scan_.resume(first, available);
  if (!found && !(eof_ && available > 0)) return false;
  start = begin_;
  length = found ? scan_.newline : available;  // the last line may lack its line feed
  hints.colon = scan_.colon;
  hints.ascii = scan_.ascii;
  begin_ += found ? length + 1 : length;
  scan_ = KVLineScan();
  return true;
}

bool KVStanzaReader::next(KVStanza& stanza) {
  stanza.clear();
  parser_.reset();
  blockStart_ = begin_;
  if (!isOpen()) return false;
  size_t start, length;
  KVControlLineParser::Hints hints;
  for (;;) {
    if (!nextLine(start, length, hints)) {
      if (stanza.lineBytes() > kMaximumStanzaBytes) return stop(stanza);
      if (eof_) return !stanza.empty();
      stanza.ownLines();  // the buffer's bytes are about to move
      fill();
      if (tooLarge_) return stop(stanza);
      blockStart_ = begin_;
      continue;
    }
    std::string_view line(buffer_.data() + start, length);
    if (line.empty() || KVControlLineParser::isSeparator(line)) {
      if (!stanza.empty()) return true;
      // Lines before it made no field (they were dropped): the stanza starts again.
      stanza.clear();
      blockStart_ = begin_;
      continue;
    }
    // The stanza is lent its lines where they lie in the buffer, line feeds and all, for
    // as long as they lie there: from a refill on (or a change that needs room of its
    // own), it holds its own copy and the lines that follow are copied into it.
    const size_t lineEnd = start + length;
    if ((stanza.lent() || stanza.lineBytes() == 0) && lineEnd < end_ && buffer_[lineEnd] == '\n') {
      stanza.lendLines(buffer_.data() + blockStart_, lineEnd + 1 - blockStart_);
      parser_.applyInBuffer(stanza, start - blockStart_, length, hints);
    } else {
      parser_.applyInBuffer(stanza, stanza.appendLine(line), length, hints);
    }
  }
}

bool KVStanzaReader::stop(KVStanza& stanza) {
  tooLarge_ = failed_ = eof_ = true;
  stanza.clear();
  buffer_ = {};
  begin_ = end_ = 0;
  return false;
}

void KVStanzaReader::fill() {
  size_t pending = end_ - begin_;
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, pending);
    begin_ = 0;
    end_ = pending;
  }
  if (end_ == usable()) {
    if (usable() >= kMaximumStanzaBytes) {
      tooLarge_ = true;  // one line past the ceiling
      return;
    }
    buffer_.resize(usable() * 2 + kPadding);  // a line longer than the buffer: keep all of it
  } else if (usable() > 4 * kBlockSize && pending < kBlockSize) {
    buffer_.resize(kBlockSize + kPadding);  // give back what an earlier very long line needed
    buffer_.shrink_to_fit();
  }
  for (;;) {
    ssize_t n = read_ ? read_(buffer_.data() + end_, usable() - end_)
                      : ::read(fd_, buffer_.data() + end_, usable() - end_);
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
