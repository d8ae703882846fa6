#include "core/DecodedOutput.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>

namespace {
constexpr size_t kHandOverPiece = size_t(1) << 20;

size_t pageSize() {
  static const size_t size = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  return size;
}

size_t wholePages(size_t bytes) {
  size_t page = pageSize();
  return bytes > SIZE_MAX - page ? SIZE_MAX : (bytes + page - 1) / page * page;
}
}  // namespace

DecodedOutput::DecodedOutput(size_t initial, size_t ceiling)
    : limit_(ceiling == SIZE_MAX ? SIZE_MAX : ceiling + 1) {
  growTo(std::min(std::max<size_t>(initial, 1), limit_));
}

DecodedOutput::~DecodedOutput() { release(); }

void DecodedOutput::release() {
  if (base_) ::munmap(base_, mapped_);
  base_ = nullptr;
  mapped_ = usable_ = 0;
}

bool DecodedOutput::growTo(size_t size) {
  size_t pages = wholePages(size);
  if (pages == SIZE_MAX) return false;
  void* p = base_ ? ::mremap(base_, mapped_, pages, MREMAP_MAYMOVE)
                  : ::mmap(nullptr, pages, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (p == MAP_FAILED) return false;
  base_ = static_cast<uint8_t*>(p);
  mapped_ = pages;
  usable_ = std::min(mapped_, limit_);
  return true;
}

bool DecodedOutput::makeRoom(size_t filled, size_t step) {
  if (filled < usable_) return true;
  if (filled >= limit_) return false;  // the byte past the ceiling was reached
  size_t grow = std::max({step, filled, size_t(4096)});
  size_t want = limit_ - filled < grow ? limit_ : filled + grow;
  return growTo(want);
}

Data DecodedOutput::take(size_t filled) {
  Data out;
  out.reserve(filled);
  for (size_t at = 0; at < filled; at += kHandOverPiece) {
    size_t n = std::min(kHandOverPiece, filled - at);
    out.insert(out.end(), base_ + at, base_ + at + n);
    // Pieces start on page boundaries: the copied pages go back at once.
    ::madvise(base_ + at, n, MADV_DONTNEED);
  }
  release();
  return out;
}
