#pragma once
// Sets of tag names the tree builder tests elements and tokens against.
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "html/HTMLElement.h"
#include "html/HTMLTagNames.h"

namespace html {

class TagSet {
 public:
  constexpr TagSet() = default;
  TagSet(std::initializer_list<TagId> ids) {
    for (TagId id : ids) add(id);
  }
  bool contains(TagId id) const {
    size_t i = static_cast<size_t>(id);
    return (words_[i / 64] >> (i % 64)) & 1;
  }
  // Calls `f` with each id of the set.
  template <class F>
  void forEach(F&& f) const {
    for (size_t w = 0; w < kWords; ++w) {
      for (uint64_t bits = words_[w]; bits; bits &= bits - 1) f(static_cast<TagId>(w * 64 + __builtin_ctzll(bits)));
    }
  }

 private:
  static constexpr size_t kWords = (static_cast<size_t>(TagId::Count) + 63) / 64;
  void add(TagId id) {
    size_t i = static_cast<size_t>(id);
    words_[i / 64] |= uint64_t(1) << (i % 64);
  }
  uint64_t words_[kWords] = {};
};

inline bool isHTML(const HTMLElement& e) { return e.htmlNamespace() == HTMLNamespace::HTML; }
inline bool isMathML(const HTMLElement& e) { return e.htmlNamespace() == HTMLNamespace::MathML; }
inline bool isSVG(const HTMLElement& e) { return e.htmlNamespace() == HTMLNamespace::SVG; }

// The special category: these HTML elements, MathML mi, mo, mn, ms, mtext and
// annotation-xml, and SVG foreignObject, desc and title.
bool IsSpecialElement(const HTMLElement& element);

// MathML mi, mo, mn, ms and mtext.
bool IsMathMLTextIntegrationPoint(const HTMLElement& element);

// A MathML annotation-xml whose encoding is HTML, and SVG foreignObject, desc and title.
bool IsHTMLIntegrationPoint(const HTMLElement& element);

// Whether the element ends a scope search: the default boundaries (HTML applet,
// caption, html, table, td, th, marquee and object, the MathML text integration points
// and annotation-xml, SVG foreignObject, desc and title) plus the given HTML names.
bool IsDefaultScopeBoundary(const HTMLElement& element, const TagSet& extraHTML);

}  // namespace html
