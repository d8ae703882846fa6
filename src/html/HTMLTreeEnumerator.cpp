#include "html/HTMLTreeEnumerator.h"

namespace html {

HTMLTreeEnumerator::HTMLTreeEnumerator(HTMLNodeRef node, bool reversed)
    : root_(std::move(node)), nextNode_(root_.get()), reversed_(reversed) {
  if (!root_) throwInvalidParameter("node");
}

HTMLNode* HTMLTreeEnumerator::nextObject() {
  HTMLNode* current = nextNode_;
  if (!current) return nullptr;

  // 1. Into the first (or last) child.
  uint32_t count = static_cast<uint32_t>(current->numberOfChildren());
  if (count > 0) {
    uint32_t index = reversed_ ? count - 1 : 0;
    indexPath_.push_back({index, count});
    nextNode_ = current->childAtIndex(index).get();
    return current;
  }

  // 2-3. Otherwise to the next sibling of the nearest ancestor that has one.
  HTMLNode* node = current;
  while (!indexPath_.empty()) {
    HTMLNode* parent = node->parentNode();
    Position& top = indexPath_.back();
    bool canMove = reversed_ ? top.index > 0 : top.index + 1 < top.count;
    if (canMove && parent) {
      top.index = reversed_ ? top.index - 1 : top.index + 1;
      nextNode_ = parent->childAtIndex(top.index).get();
      return current;
    }
    indexPath_.pop_back();
    node = parent;
  }
  nextNode_ = nullptr;
  return current;
}

}  // namespace html
