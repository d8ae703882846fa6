#include "package/KVHTMLIndex.h"

#include <algorithm>

#include "html/HTMLTextNode.h"

using namespace html;

namespace {
const std::vector<const HTMLElement*> kNone;
}

KVHTMLIndex::KVHTMLIndex(const HTMLNode& root) {
  // Depth first, with the walk's own stack: an element's place is given when it opens,
  // the end of its text and of its elements when it closes.
  struct Open {
    const HTMLNode* node;
    size_t next = 0;
  };
  std::vector<Open> stack{{&root}};
  size_t order = 0;
  while (!stack.empty()) {
    Open& open = stack.back();
    if (open.next == open.node->numberOfChildren()) {
      if (open.node->isElement()) {
        Place& p = places_[static_cast<const HTMLElement*>(open.node)];
        p.lastInside = order - 1;
        p.textEnd = text_.size();
      }
      stack.pop_back();
      continue;
    }
    const HTMLNode* child = open.node->childAtIndex(open.next++).get();
    if (child->kind() == HTMLNode::Kind::Text) {
      text_ += static_cast<const HTMLTextNode&>(*child).data();
    } else if (child->isElement()) {
      const auto* element = static_cast<const HTMLElement*>(child);
      places_[element] = Place{order++, 0, text_.size(), 0};
      byTag_[toUTF8(asciiLowercase(element->tagName()))].push_back(element);
      stack.push_back({child});
    }
  }
}

const KVHTMLIndex::Place& KVHTMLIndex::place(const HTMLElement& element) const { return places_.at(&element); }

bool KVHTMLIndex::isInside(const HTMLElement& element, const HTMLElement& container) const {
  const Place& e = place(element);
  const Place& c = place(container);
  return e.order > c.order && e.order <= c.lastInside;
}

const std::vector<const HTMLElement*>& KVHTMLIndex::elements(std::string_view tag) const {
  auto found = byTag_.find(tag);
  return found == byTag_.end() ? kNone : found->second;
}

const HTMLElement* KVHTMLIndex::first(std::string_view tag, const HTMLElement& within) const {
  const auto& candidates = elements(tag);
  size_t after = place(within).order;
  auto next = std::upper_bound(candidates.begin(), candidates.end(), after,
                               [this](size_t order, const HTMLElement* e) { return order < place(*e).order; });
  return next != candidates.end() && isInside(**next, within) ? *next : nullptr;
}

std::vector<const HTMLElement*> KVHTMLIndex::inside(const std::vector<const HTMLElement*>& wanted,
                                                    const std::vector<const HTMLElement*>& containers) const {
  // The containers' stretches of elements, nested ones folded into those around them;
  // both lists are in document order, so one pass over each.
  std::vector<const HTMLElement*> out;
  std::vector<const HTMLElement*> spans = outermost(containers);
  size_t s = 0;
  for (const HTMLElement* e : wanted) {
    size_t order = place(*e).order;
    while (s < spans.size() && place(*spans[s]).lastInside < order) ++s;
    if (s < spans.size() && isInside(*e, *spans[s])) out.push_back(e);
  }
  return out;
}

std::vector<const HTMLElement*> KVHTMLIndex::outermost(const std::vector<const HTMLElement*>& elements) const {
  std::vector<const HTMLElement*> out;
  for (const HTMLElement* e : elements)
    if (out.empty() || !isInside(*e, *out.back())) out.push_back(e);
  return out;
}

std::string KVHTMLIndex::text(const HTMLElement& element) const {
  const Place& p = place(element);
  return toUTF8(std::u16string_view(text_).substr(p.textStart, p.textEnd - p.textStart));
}

bool KVHTMLIndex::textEquals(const HTMLElement& element, std::u16string_view expected) const {
  const Place& p = place(element);
  return std::u16string_view(text_).substr(p.textStart, p.textEnd - p.textStart) == expected;
}

bool KVHTMLIndex::textContains(const HTMLElement& element, std::u16string_view needle) const {
  auto found = occurrences_.find(needle);
  if (found == occurrences_.end()) {
    std::vector<size_t> starts;
    for (size_t at = text_.find(needle); at != std::u16string::npos; at = text_.find(needle, at + 1))
      starts.push_back(at);
    found = occurrences_.emplace(std::u16string(needle), std::move(starts)).first;
  }
  const Place& p = place(element);
  auto first = std::lower_bound(found->second.begin(), found->second.end(), p.textStart);
  return first != found->second.end() && *first + needle.size() <= p.textEnd;
}
