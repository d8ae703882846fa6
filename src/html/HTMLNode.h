#pragma once
// A node of a parsed document. A node owns its children; its parent link does not own,
// and it reads as none once the parent is gone, so dropping the root frees the tree.
// A finished tree may be read from several threads at once while nobody changes it.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <string_view>
#include <vector>

#include "html/HTMLString.h"

namespace html {

class HTMLNode;
class HTMLElement;
class HTMLDocument;
class HTMLSelector;
class HTMLTreeEnumerator;
class HTMLChildrenRelationshipProxy;

using HTMLNodeRef = std::shared_ptr<HTMLNode>;
using HTMLElementRef = std::shared_ptr<HTMLElement>;
// Positions in ascending order, each once.
using IndexSet = std::set<size_t>;

class HTMLNode : public std::enable_shared_from_this<HTMLNode> {
 public:
  enum class Kind : uint8_t { Node, Element, Text, Comment, DocumentType, Document };
  static constexpr size_t NotFound = static_cast<size_t>(-1);

  HTMLNode() : HTMLNode(Kind::Node) {}
  virtual ~HTMLNode();
  HTMLNode(const HTMLNode&) = delete;
  HTMLNode& operator=(const HTMLNode&) = delete;

  Kind kind() const { return kind_; }
  bool isElement() const { return kind_ == Kind::Element; }

  // Parent links.
  HTMLNode* parentNode() const { return parent_; }
  void setParentNode(HTMLNode* parent) { setParentNode(parent, true); }
  // Takes the node out of its old parent's children, stores the new link, and with
  // `updateChildren` appends the node to the new parent's children.
  void setParentNode(HTMLNode* parent, bool updateChildren);
  HTMLElement* parentElement() const;
  void setParentElement(HTMLElement* parent);
  // The nearest document above the node (the node itself is not considered).
  HTMLDocument* document() const;
  void removeFromParentNode();

  // Children.
  const std::vector<HTMLNodeRef>& children() const { return children_; }
  HTMLChildrenRelationshipProxy mutableChildren();
  size_t numberOfChildren() const { return children_.size(); }
  const HTMLNodeRef& childAtIndex(size_t index) const { return children_.at(index); }
  size_t indexOfChild(const HTMLNode* child) const;
  void addChild(const HTMLNodeRef& child);
  void removeChild(HTMLNode* child);
  // Does nothing when the node already is a child of this one; otherwise takes it out
  // of its old parent and inserts it at the index.
  void insertObject(const HTMLNodeRef& node, size_t inChildrenAtIndex);
  // The first node at the set's first index, each next one at the set's next index.
  void insertChildren(const std::vector<HTMLNodeRef>& nodes, const IndexSet& atIndexes);
  void removeObjectFromChildrenAtIndex(size_t index);
  void removeChildrenAtIndexes(const IndexSet& indexes);
  void replaceObjectInChildrenAtIndex(size_t index, const HTMLNodeRef& withObject);
  // The child list only; with the flag the child's parent link follows.
  void addChild(const HTMLNodeRef& child, bool updateParentNode);
  void removeChild(HTMLNode* child, bool updateParentNode);
  // Appends to the text node just before the index, or inserts a new one there.
  void insertString(StringView string, size_t atChildNodeIndex);
  std::vector<HTMLElementRef> childElementNodes() const;

  // Pre-order walks of the subtree, the node itself first.
  HTMLTreeEnumerator treeEnumerator() const;
  HTMLTreeEnumerator reversedTreeEnumerator() const;

  // The text of every text node of the subtree, in tree order.
  virtual String textContent() const;
  // Removes every child, then adds one text node when the text is not empty.
  virtual void setTextContent(StringView textContent);
  // The data of the direct text children.
  std::vector<String> textComponents() const;

  // A new node of the same class with the node's own fields, no children, no parent.
  virtual HTMLNodeRef copy() const;

  // Serialization: the node as HTML, its children as HTML, a one-line debugging text
  // and an indented dump of the subtree.
  String serializedFragment() const;
  String innerHTML() const;
  String description() const;
  String recursiveDescription() const;

  // Selector queries over the subtree, the node itself included, in tree order. A
  // selector that fails to compile throws std::invalid_argument.
  std::vector<HTMLElementRef> nodesMatchingSelector(StringView selector) const;
  std::vector<HTMLElementRef> nodesMatchingSelector(std::string_view utf8Selector) const;
  HTMLElementRef firstNodeMatchingSelector(StringView selector) const;
  HTMLElementRef firstNodeMatchingSelector(std::string_view utf8Selector) const;
  std::vector<HTMLElementRef> nodesMatchingParsedSelector(const HTMLSelector& selector) const;
  HTMLElementRef firstNodeMatchingParsedSelector(const HTMLSelector& selector) const;

 protected:
  explicit HTMLNode(Kind kind) : kind_(kind) {}

 public:
  // The class name that descriptions show.
  virtual const char* className() const { return "HTMLNode"; }

 private:
  void requireChild(const HTMLNode* child, const char* name) const;

  Kind kind_;
  HTMLNode* parent_ = nullptr;
  std::vector<HTMLNodeRef> children_;
};

// Throws the error a missing required argument raises.
[[noreturn]] void throwInvalidParameter(const char* name);

}  // namespace html
