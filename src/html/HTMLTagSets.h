#pragma once
// Sets of tag names the tree builder tests elements and tokens against.
#include <bitset>
#include <initializer_list>

#include "html/HTMLElement.h"
#include "html/HTMLTagNames.h"

namespace html {

class TagSet {
 public:
  constexpr TagSet() = default;
  TagSet(std::initializer_list<TagId> ids) {
    for (TagId id : ids) bits_.set(static_cast<size_t>(id));
  }
  bool contains(TagId id) const { return bits_.test(static_cast<size_t>(id)); }
  TagSet with(TagId id) const {
    TagSet copy = *this;
    copy.bits_.set(static_cast<size_t>(id));
    return copy;
  }

 private:
  std::bitset<static_cast<size_t>(TagId::Count)> bits_;
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
