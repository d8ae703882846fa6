#pragma once
// One walk over a parsed page that answers the questions the depiction readers ask of it
// in time that does not grow with the page's depth: the elements of a tag in document
// order, the first or all of them within an element, and an element's text content
// (the text of its subtree), which is one stretch of the page's whole text. A reader that
// asked the document the same, element by element, would walk nested elements once per
// enclosing one: a page of deeply nested elements would cost the square of its size.
#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "html/HTMLElement.h"

class KVHTMLIndex {
 public:
  explicit KVHTMLIndex(const html::HTMLNode& root);

  // The elements of a tag name (lower case), in document order.
  const std::vector<const html::HTMLElement*>& elements(std::string_view tag) const;
  // The first element of the tag inside `within` (not `within` itself), or nullptr.
  const html::HTMLElement* first(std::string_view tag, const html::HTMLElement& within) const;
  // Those of `wanted` inside at least one of `containers`, each once, in document order.
  std::vector<const html::HTMLElement*> inside(const std::vector<const html::HTMLElement*>& wanted,
                                               const std::vector<const html::HTMLElement*>& containers) const;
  // Those of `elements` that lie inside no other of them.
  std::vector<const html::HTMLElement*> outermost(const std::vector<const html::HTMLElement*>& elements) const;

  // The element's text content, as UTF-8.
  std::string text(const html::HTMLElement& element) const;
  bool textEquals(const html::HTMLElement& element, std::u16string_view expected) const;
  bool textContains(const html::HTMLElement& element, std::u16string_view needle) const;

 private:
  struct Place {
    size_t order = 0;      // the element's place among all elements, in document order
    size_t lastInside = 0;  // the place of the last element inside it (its own when none)
    size_t textStart = 0, textEnd = 0;
  };
  const Place& place(const html::HTMLElement& element) const;
  bool isInside(const html::HTMLElement& element, const html::HTMLElement& container) const;

  std::u16string text_;
  std::unordered_map<const html::HTMLElement*, Place> places_;
  std::map<std::string, std::vector<const html::HTMLElement*>, std::less<>> byTag_;
  // Where each needle asked for starts in the text, found once per needle.
  mutable std::map<std::u16string, std::vector<size_t>, std::less<>> occurrences_;
};
