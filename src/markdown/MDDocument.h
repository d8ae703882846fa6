#pragma once
// The result of one parse: the source after tab expansion (every range refers to it)
// and the top-level elements. The document owns every element made for it, including
// those a recogniser made and then dropped: they live in its arena and go with it.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "markdown/MDArena.h"
#include "markdown/MDElement.h"

namespace markdown {

class MDDocument {
 public:
  explicit MDDocument(std::string markdown);
  ~MDDocument();
  MDDocument(const MDDocument&) = delete;
  MDDocument& operator=(const MDDocument&) = delete;

  const std::string& markdown() const { return markdown_; }
  const std::vector<MDElement*>& elements() const { return elements_; }
  void setElements(std::vector<MDElement*> elements) { elements_ = std::move(elements); }
  void addElement(MDElement* element) { elements_.push_back(element); }

  // A new element of the given type, owned by this document.
  MDElement* makeElement(MDElementType type = MDElementType::None);
  // The source text of a range.
  std::string_view textOf(MDRange range) const {
    return std::string_view(markdown_).substr(range.location, range.length);
  }

 private:
  std::string markdown_;
  std::vector<MDElement*> elements_;
  MDArena arena_;
};

}  // namespace markdown
