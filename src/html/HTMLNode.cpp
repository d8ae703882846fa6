#include "html/HTMLNode.h"

#include <stdexcept>
#include <string>

#include "html/HTMLChildrenRelationshipProxy.h"
#include "html/HTMLDocument.h"
#include "html/HTMLElement.h"
#include "html/HTMLSelector.h"
#include "html/HTMLSerialization.h"
#include "html/HTMLTextNode.h"
#include "html/HTMLTreeEnumerator.h"

namespace html {

void throwInvalidParameter(const char* name) {
  throw std::invalid_argument(std::string("Invalid parameter not satisfying: ") + name);
}

HTMLNode::~HTMLNode() {
  // A deep tree is released level by level from a work list rather than by nested
  // destructors, so depth never reaches the call stack. A child somebody else still
  // holds keeps its own children and just loses its parent.
  std::vector<HTMLNodeRef> pending = std::move(children_);
  for (const HTMLNodeRef& child : pending) child->parent_ = nullptr;
  while (!pending.empty()) {
    HTMLNodeRef node = std::move(pending.back());
    pending.pop_back();
    if (node.use_count() != 1) continue;
    for (HTMLNodeRef& grandchild : node->children_) {
      grandchild->parent_ = nullptr;
      pending.push_back(std::move(grandchild));
    }
    node->children_.clear();
  }
}

void HTMLNode::requireChild(const HTMLNode* child, const char* name) const {
  if (!child) throwInvalidParameter(name);
}

void HTMLNode::setParentNode(HTMLNode* parent, bool updateChildren) {
  HTMLNodeRef self = shared_from_this();
  if (parent_) {
    auto& siblings = parent_->children_;
    size_t at = parent_->indexOfChild(this);
    if (at != NotFound) siblings.erase(siblings.begin() + static_cast<std::ptrdiff_t>(at));
  }
  parent_ = parent;
  if (updateChildren && parent) parent->children_.push_back(self);
}

HTMLElement* HTMLNode::parentElement() const {
  return parent_ && parent_->isElement() ? static_cast<HTMLElement*>(parent_) : nullptr;
}

void HTMLNode::setParentElement(HTMLElement* parent) { setParentNode(parent); }

HTMLDocument* HTMLNode::document() const {
  for (HTMLNode* node = parent_; node; node = node->parent_) {
    if (node->kind_ == Kind::Document) return static_cast<HTMLDocument*>(node);
  }
  return nullptr;
}

void HTMLNode::removeFromParentNode() {
  if (parent_) parent_->mutableChildren().removeObject(this);
}

HTMLChildrenRelationshipProxy HTMLNode::mutableChildren() {
  return HTMLChildrenRelationshipProxy(shared_from_this());
}

size_t HTMLNode::indexOfChild(const HTMLNode* child) const {
  // From the end: the tree builder nearly always works at the end of a child list.
  for (size_t i = children_.size(); i-- > 0;) {
    if (children_[i].get() == child) return i;
  }
  return NotFound;
}

void HTMLNode::addChild(const HTMLNodeRef& child) {
  requireChild(child.get(), "child");
  mutableChildren().addObject(child);
}

void HTMLNode::removeChild(HTMLNode* child) {
  requireChild(child, "child");
  mutableChildren().removeObject(child);
}

void HTMLNode::insertObject(const HTMLNodeRef& node, size_t inChildrenAtIndex) {
  requireChild(node.get(), "node");
  if (node->parent_ == this) return;
  if (inChildrenAtIndex > children_.size()) throw std::out_of_range("insertObject:inChildrenAtIndex: index beyond count");
  children_.insert(children_.begin() + static_cast<std::ptrdiff_t>(inChildrenAtIndex), node);
  node->setParentNode(this, false);
}

void HTMLNode::insertChildren(const std::vector<HTMLNodeRef>& nodes, const IndexSet& atIndexes) {
  auto index = atIndexes.begin();
  for (const HTMLNodeRef& node : nodes) {
    if (index == atIndexes.end()) break;
    insertObject(node, *index++);
  }
}

void HTMLNode::removeObjectFromChildrenAtIndex(size_t index) {
  HTMLNodeRef child = children_.at(index);
  children_.erase(children_.begin() + static_cast<std::ptrdiff_t>(index));
  child->parent_ = nullptr;
}

void HTMLNode::removeChildrenAtIndexes(const IndexSet& indexes) {
  for (auto it = indexes.rbegin(); it != indexes.rend(); ++it) {
    if (*it < children_.size()) removeObjectFromChildrenAtIndex(*it);
  }
}

void HTMLNode::replaceObjectInChildrenAtIndex(size_t index, const HTMLNodeRef& withObject) {
  requireChild(withObject.get(), "node");
  HTMLNodeRef old = children_.at(index);
  if (old == withObject) return;
  if (withObject->parent_ == this) {
    // Already a child elsewhere in this list: it moves rather than occurring twice.
    size_t at = indexOfChild(withObject.get());
    children_.erase(children_.begin() + static_cast<std::ptrdiff_t>(at));
    if (at < index) --index;
    withObject->parent_ = nullptr;
  }
  children_[index] = withObject;
  old->parent_ = nullptr;
  withObject->setParentNode(this, false);
}

void HTMLNode::addChild(const HTMLNodeRef& child, bool updateParentNode) {
  requireChild(child.get(), "child");
  if (indexOfChild(child.get()) == NotFound) children_.push_back(child);
  if (updateParentNode) child->parent_ = this;
}

void HTMLNode::removeChild(HTMLNode* child, bool updateParentNode) {
  requireChild(child, "child");
  HTMLNodeRef keep = child->shared_from_this();
  size_t at = indexOfChild(child);
  if (at != NotFound) children_.erase(children_.begin() + static_cast<std::ptrdiff_t>(at));
  if (updateParentNode) child->parent_ = nullptr;
}

void HTMLNode::insertString(StringView string, size_t atChildNodeIndex) {
  if (atChildNodeIndex > 0 && atChildNodeIndex <= children_.size()) {
    HTMLNode* before = children_[atChildNodeIndex - 1].get();
    if (before->kind_ == Kind::Text) {
      static_cast<HTMLTextNode*>(before)->appendString(string);
      return;
    }
  }
  auto text = std::make_shared<HTMLTextNode>();
  text->appendString(string);
  insertObject(text, atChildNodeIndex);
}

std::vector<HTMLElementRef> HTMLNode::childElementNodes() const {
  std::vector<HTMLElementRef> elements;
  for (const HTMLNodeRef& child : children_) {
    if (child->isElement()) elements.push_back(std::static_pointer_cast<HTMLElement>(child));
  }
  return elements;
}

HTMLTreeEnumerator HTMLNode::treeEnumerator() const {
  return HTMLTreeEnumerator(std::const_pointer_cast<HTMLNode>(shared_from_this()), false);
}

HTMLTreeEnumerator HTMLNode::reversedTreeEnumerator() const {
  return HTMLTreeEnumerator(std::const_pointer_cast<HTMLNode>(shared_from_this()), true);
}

String HTMLNode::textContent() const {
  String text;
  std::vector<const HTMLNode*> pending{this};
  while (!pending.empty()) {
    const HTMLNode* node = pending.back();
    pending.pop_back();
    if (node->kind_ == Kind::Text) text += static_cast<const HTMLTextNode*>(node)->data();
    for (size_t i = node->children_.size(); i-- > 0;) pending.push_back(node->children_[i].get());
  }
  return text;
}

void HTMLNode::setTextContent(StringView textContent) {
  while (!children_.empty()) removeObjectFromChildrenAtIndex(children_.size() - 1);
  if (!textContent.empty()) addChild(std::make_shared<HTMLTextNode>(String(textContent)));
}

std::vector<String> HTMLNode::textComponents() const {
  std::vector<String> texts;
  for (const HTMLNodeRef& child : children_) {
    if (child->kind_ == Kind::Text) texts.push_back(static_cast<const HTMLTextNode*>(child.get())->data());
  }
  return texts;
}

HTMLNodeRef HTMLNode::copy() const { return std::make_shared<HTMLNode>(); }

String HTMLNode::serializedFragment() const { return HTMLSerialization::serializedFragment(*this); }
String HTMLNode::innerHTML() const { return HTMLSerialization::innerHTML(*this); }
String HTMLNode::description() const { return HTMLSerialization::description(*this); }
String HTMLNode::recursiveDescription() const { return HTMLSerialization::recursiveDescription(*this); }

std::vector<HTMLElementRef> HTMLNode::nodesMatchingSelector(StringView selector) const {
  return nodesMatchingParsedSelector(HTMLSelector::selectorForString(selector));
}

std::vector<HTMLElementRef> HTMLNode::nodesMatchingSelector(std::string_view utf8Selector) const {
  return nodesMatchingSelector(StringView(fromUTF8(utf8Selector)));
}

HTMLElementRef HTMLNode::firstNodeMatchingSelector(StringView selector) const {
  return firstNodeMatchingParsedSelector(HTMLSelector::selectorForString(selector));
}

HTMLElementRef HTMLNode::firstNodeMatchingSelector(std::string_view utf8Selector) const {
  return firstNodeMatchingSelector(StringView(fromUTF8(utf8Selector)));
}

namespace {

void requireUsable(const HTMLSelector& selector) {
  if (selector.error()) {
    throw std::invalid_argument("Attempted to use selector with error: " +
                                selector.error()->localizedDescription());
  }
}

}  // namespace

std::vector<HTMLElementRef> HTMLNode::nodesMatchingParsedSelector(const HTMLSelector& selector) const {
  requireUsable(selector);
  std::vector<HTMLElementRef> found;
  HTMLTreeEnumerator walk = treeEnumerator();
  while (HTMLNode* node = walk.nextObject()) {
    if (!node->isElement()) continue;
    auto* element = static_cast<HTMLElement*>(node);
    if (selector.matchesElement(*element)) {
      found.push_back(std::static_pointer_cast<HTMLElement>(element->shared_from_this()));
    }
  }
  return found;
}

HTMLElementRef HTMLNode::firstNodeMatchingParsedSelector(const HTMLSelector& selector) const {
  requireUsable(selector);
  HTMLTreeEnumerator walk = treeEnumerator();
  while (HTMLNode* node = walk.nextObject()) {
    if (!node->isElement()) continue;
    auto* element = static_cast<HTMLElement*>(node);
    if (selector.matchesElement(*element)) {
      return std::static_pointer_cast<HTMLElement>(element->shared_from_this());
    }
  }
  return nullptr;
}

}  // namespace html
