#pragma once
// The memory of one parse: elements and everything they hold (content ranges, link
// fields, texts of their own) come from here and are released together with the
// document, so no element has to be destroyed one by one. Freeing a single piece does
// nothing. The chunks of a finished arena are kept by the thread (up to a bound) for
// its next one: a long document needs megabytes, and memory handed back to the system
// after every conversion would come back as fresh pages, each one faulted in again.
#include <cstddef>
#include <memory>
#include <memory_resource>
#include <vector>

namespace markdown {

class MDArena final : public std::pmr::memory_resource {
 public:
  MDArena() = default;
  ~MDArena() override;
  MDArena(const MDArena&) = delete;
  MDArena& operator=(const MDArena&) = delete;

  static constexpr size_t chunkSize = 32 * 1024;
  // How many bytes of chunks a thread keeps between arenas.
  static constexpr size_t keptBytes = 8 * 1024 * 1024;

 private:
  void* do_allocate(size_t bytes, size_t alignment) override;
  void do_deallocate(void*, size_t, size_t) override {}
  bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override { return this == &other; }

  std::vector<std::unique_ptr<std::byte[]>> chunks_;  // all of chunkSize
  std::vector<std::unique_ptr<std::byte[]>> large_;   // pieces too large for a chunk
  std::byte* next_ = nullptr;
  size_t left_ = 0;
};

}  // namespace markdown
