#pragma once
// Where a decoder puts what it decodes. Repository indexes are hostile: a small file can
// claim or produce gigabytes, so the ceiling counts everything held at once. The bytes
// live in an anonymous mapping that grows in place (the kernel moves its pages, nothing
// is copied), never past one byte over the ceiling (reaching that byte is how an
// oversized output is noticed), and they are handed over as Data at the end a piece at a
// time, each piece released once copied: there is never an old buffer beside a new one.
#include <cstddef>
#include <cstdint>

#include "foundation/Value.h"

class DecodedOutput {
 public:
  // `initial` bytes of room to start with; `ceiling` the most the output may hold
  // (SIZE_MAX for no ceiling).
  DecodedOutput(size_t initial, size_t ceiling);
  ~DecodedOutput();
  DecodedOutput(const DecodedOutput&) = delete;
  DecodedOutput& operator=(const DecodedOutput&) = delete;

  // Makes room after the first `filled` bytes when there is none, growing by at least
  // `step` and at least doubling. False when the output has passed the ceiling or no
  // memory is left.
  bool makeRoom(size_t filled, size_t step);
  uint8_t* end(size_t filled) { return base_ + filled; }
  size_t room(size_t filled) const { return usable_ - filled; }
  // The first `filled` bytes as Data; the mapping is gone afterwards.
  Data take(size_t filled);

 private:
  bool growTo(size_t size);
  void release();

  uint8_t* base_ = nullptr;
  size_t mapped_ = 0;  // bytes mapped (whole pages)
  size_t usable_ = 0;  // of them, what the decoder may fill: at most one byte over the ceiling
  size_t limit_;       // the ceiling plus that one byte
};
