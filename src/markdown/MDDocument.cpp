#include "markdown/MDDocument.h"

#include <algorithm>
#include <new>

namespace markdown {

MDDocument::MDDocument(std::string markdown) : markdown_(std::move(markdown)) {}

MDDocument::~MDDocument() {
  for (Block& block : blocks_) {
    auto* elements = reinterpret_cast<MDElement*>(block.storage.get());
    for (size_t i = 0; i < block.used; ++i) elements[i].~MDElement();
  }
}

MDElement* MDDocument::makeElement(MDElementType type) {
  if (blocks_.empty() || blocks_.back().used == blocks_.back().capacity) {
    Block block;
    block.capacity = blockSize(blocks_.size());
    block.storage.reset(new (std::align_val_t(alignof(MDElement))) unsigned char[block.capacity * sizeof(MDElement)]);
    blocks_.push_back(std::move(block));
  }
  Block& block = blocks_.back();
  auto* element = new (block.storage.get() + block.used++ * sizeof(MDElement)) MDElement;
  element->ownedByDocument_ = true;
  element->type = type;
  return element;
}

// Start small (most descriptions are a few lines) and grow with the document, but stay
// well below the size the allocator maps from the system: those blocks would be mapped
// and unmapped again, page by page, on every conversion.
size_t MDDocument::blockSize(size_t index) {
  constexpr size_t largest = 64 * 1024 / sizeof(MDElement);
  return std::min<size_t>(size_t{16} << std::min<size_t>(index, 10), largest);
}

}  // namespace markdown
