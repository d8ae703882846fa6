#pragma once
// Bytes handed from one thread to another in chunks, with a bound on what may wait: the
// decoder of an index writes, the stanza reader reads as from a file.
#include <sys/types.h>

#include <cstddef>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "database/KVHandoff.h"

class KVChunkChannel {
 public:
  explicit KVChunkChannel(size_t maxWaitingChunks = 8) : chunks_(maxWaitingChunks) {}

  // Producer: hands on a copy of the bytes; false once the reader has given up.
  bool write(const uint8_t* bytes, size_t size);
  // Producer: no more bytes come.
  void close() { chunks_.close(); }

  // Reader: up to `size` bytes, waiting for them; 0 once the producer closed and
  // everything was read.
  ssize_t read(char* bytes, size_t size);
  // Reader: nothing more is read; a waiting or later write answers false.
  void abandon() { chunks_.abandon(); }

  // Chunks read are kept for the next writes, up to this many: a chunk is large enough
  // that a fresh one each time would be mapped and cleared by the system page by page.
  static constexpr size_t kSpareChunks = 1;

 private:
  KVHandoff<std::vector<uint8_t>> chunks_;
  std::vector<uint8_t> current_;  // the chunk being read, from offset_
  size_t offset_ = 0;
  std::mutex spareMutex_;
  std::vector<std::vector<uint8_t>> spare_;
};

// The same hand-over where the producer writes the bytes to a file anyway: the reader
// reads them back from the file (from the system's cache) through a descriptor of its
// own, so nothing but a count passes between the threads and the producer never waits
// for the reader.
class KVFileFollower {
 public:
  // Takes `fd` (open for reading the file the producer writes) and closes it.
  explicit KVFileFollower(int fd) : fd_(fd) {}
  ~KVFileFollower();
  KVFileFollower(const KVFileFollower&) = delete;
  KVFileFollower& operator=(const KVFileFollower&) = delete;

  // Producer: `size` more bytes are in the file; false once the reader has given up.
  bool advance(size_t size);
  // Producer: no more bytes come.
  void close();

  // Reader: up to `size` bytes, waiting for them; 0 once the producer closed and
  // everything was read, -1 when the file can't be read.
  ssize_t read(char* bytes, size_t size);
  // Nothing more is read: a waiting or later read answers 0, a later advance false.
  void abandon();

 private:
  int fd_;
  std::mutex mutex_;
  std::condition_variable more_;
  uint64_t written_ = 0;
  uint64_t read_ = 0;  // the reader's alone
  bool closed_ = false, abandoned_ = false;
};
