#pragma once
// A range of bytes in the one source text every Markdown stage works on.
#include <cstddef>

namespace markdown {

struct MDRange {
  size_t location = 0;
  size_t length = 0;

  size_t end() const { return location + length; }
  bool operator==(const MDRange&) const = default;
};

}  // namespace markdown
