#pragma once
// Bytes handed from one thread to another in chunks, with a bound on what may wait: the
// decoder of an index writes, the stanza reader reads as from a file. A producer that
// runs ahead waits; a reader that gives up lets the producer stop.
#include <sys/types.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

class KVChunkChannel {
 public:
  explicit KVChunkChannel(size_t maxWaitingChunks = 8) : max_(maxWaitingChunks) {}

  // Producer: hands on a copy of the bytes, waiting while the channel is full. False
  // once the reader has given up.
  bool write(const uint8_t* bytes, size_t size);
  // Producer: no more bytes come.
  void close();

  // Reader: up to `size` bytes, waiting for them; 0 once the producer closed and
  // everything was read.
  ssize_t read(char* bytes, size_t size);
  // Reader: nothing more is read; a waiting or later write answers false.
  void abandon();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::vector<uint8_t>> chunks_;
  size_t offset_ = 0;  // read so far of the front chunk
  size_t max_;
  bool closed_ = false, abandoned_ = false;
};
