#pragma once
// The memory of one parse: elements and everything they hold (content ranges, link
// fields, texts of their own) come from here and are released together with the
// document, so no element has to be destroyed one by one. Freeing a single piece does
// nothing. Chunks stay small enough that the system allocator keeps reusing them
// rather than mapping fresh pages for every conversion.
#include <cstddef>
#include <memory>
#include <memory_resource>
#include <vector>

namespace markdown {

class MDArena final : public std::pmr::memory_resource {
 public:
  MDArena() = default;
  MDArena(const MDArena&) = delete;
  MDArena& operator=(const MDArena&) = delete;

 private:
  void* do_allocate(size_t bytes, size_t alignment) override;
  void do_deallocate(void*, size_t, size_t) override {}
  bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override { return this == &other; }

  static constexpr size_t chunkSize = 32 * 1024;
  std::vector<std::unique_ptr<std::byte[]>> chunks_;
  std::byte* next_ = nullptr;
  size_t left_ = 0;
};

}  // namespace markdown
