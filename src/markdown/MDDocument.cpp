#include "markdown/MDDocument.h"

#include <algorithm>

namespace markdown {

MDDocument::MDDocument(std::string markdown) : markdown_(std::move(markdown)) {}

MDDocument::~MDDocument() {
  // Unlink first: an element's destructor looks at its children, which may live in a
  // block that is freed before its own.
  for (size_t b = 0; b < blocks_.size(); ++b) {
    size_t used = b + 1 == blocks_.size() ? usedInLastBlock_ : blockSize(b);
    for (size_t i = 0; i < used; ++i) blocks_[b][i].setChildren({});
  }
}

MDElement* MDDocument::makeElement(MDElementType type) {
  if (usedInLastBlock_ == lastBlockSize_) {
    lastBlockSize_ = blockSize(blocks_.size());
    blocks_.push_back(std::make_unique<MDElement[]>(lastBlockSize_));
    usedInLastBlock_ = 0;
  }
  MDElement* element = &blocks_.back()[usedInLastBlock_++];
  element->type = type;
  return element;
}

// Start small (most descriptions are a few lines) and grow with the document.
size_t MDDocument::blockSize(size_t index) { return std::min<size_t>(size_t{32} << std::min<size_t>(index, 7), 4096); }

}  // namespace markdown
