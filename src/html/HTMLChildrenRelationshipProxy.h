#pragma once
// A node's children seen as a mutable ordered set. Every change goes through the node's
// own child operations, so parent links stay in step whatever is done here.
#include "html/HTMLNode.h"

namespace html {

class HTMLChildrenRelationshipProxy {
 public:
  explicit HTMLChildrenRelationshipProxy(HTMLNodeRef node) : node_(std::move(node)) {}

  size_t count() const { return node_->numberOfChildren(); }
  const HTMLNodeRef& objectAtIndex(size_t index) const { return node_->childAtIndex(index); }
  size_t indexOfObject(const HTMLNode* node) const { return node_->indexOfChild(node); }

  void insertObject(const HTMLNodeRef& node, size_t atIndex) { node_->insertObject(node, atIndex); }
  void insertObjects(const std::vector<HTMLNodeRef>& nodes, const IndexSet& atIndexes) {
    node_->insertChildren(nodes, atIndexes);
  }
  void replaceObjectAtIndex(size_t index, const HTMLNodeRef& withObject) {
    node_->replaceObjectInChildrenAtIndex(index, withObject);
  }
  void removeObjectAtIndex(size_t index) { node_->removeObjectFromChildrenAtIndex(index); }
  void removeObjectsAtIndexes(const IndexSet& indexes) { node_->removeChildrenAtIndexes(indexes); }

  // The set operations built from the ones above.
  void addObject(const HTMLNodeRef& node) { insertObject(node, count()); }
  void removeObject(const HTMLNode* node) {
    size_t at = indexOfObject(node);
    if (at != HTMLNode::NotFound) removeObjectAtIndex(at);
  }
  void removeAllObjects() {
    while (count() > 0) removeObjectAtIndex(count() - 1);
  }

 private:
  HTMLNodeRef node_;
};

}  // namespace html
