#include "markdown/MDDocument.h"

#include <new>

namespace markdown {

MDDocument::MDDocument(std::string markdown) : markdown_(std::move(markdown)) {}

// The elements are not destroyed one by one: nothing they hold lives outside the arena.
MDDocument::~MDDocument() = default;

MDElement* MDDocument::makeElement(MDElementType type) {
  void* storage = arena_.allocate(sizeof(MDElement), alignof(MDElement));
  auto* element = new (storage) MDElement(&arena_);
  element->type = type;
  return element;
}

}  // namespace markdown
