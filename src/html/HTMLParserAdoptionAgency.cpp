// The adoption agency algorithm, which repairs misnested formatting elements such as
// <b><i></b></i>.
#include "html/HTMLParser.h"

namespace html {

bool HTMLParser::runAdoptionAgencyAlgorithmForTagName(const String& tagName) {
  auto& list = activeFormattingElements_;
  // At most eight passes, so that no input can keep it going longer.
  for (int outerLoopCounter = 0; outerLoopCounter < 8; ++outerLoopCounter) {
    // 1. The formatting element: the last entry of that name after the last marker.
    HTMLElementRef formattingElement;
    for (size_t i = list.size(); i-- > 0;) {
      if (!list[i]) return false;
      if (list[i]->tagName() == tagName) {
        formattingElement = list[i];
        break;
      }
    }
    if (!formattingElement) return false;

    // 2.
    if (!formattingElement->onStackOfOpenElements_) {
      addParseError("Adoption agency formatting element missing from stack");
      removeElementFromListOfActiveFormattingElements(formattingElement.get());
      return true;
    }
    // 3.
    if (!isElementInScope(formattingElement.get())) {
      addParseError("Adoption agency formatting element missing from scope");
      return true;
    }
    // 4.
    if (currentNode() != formattingElement.get()) addParseError("Adoption agency formatting element not current");

    // 5. The furthest block: the first special element above the formatting element.
    size_t formattingIndex = indexInStack(formattingElement.get());
    HTMLElementRef furthestBlock;
    size_t furthestBlockIndex = 0;
    for (size_t i = formattingIndex + 1; i < stack_.size(); ++i) {
      if (IsSpecialElement(*stack_[i])) {
        furthestBlock = stack_[i];
        furthestBlockIndex = i;
        break;
      }
    }
    if (!furthestBlock) {
      popUntilElement(formattingElement.get());
      removeElementFromListOfActiveFormattingElements(formattingElement.get());
      return true;
    }

    // 6.
    HTMLElementRef commonAncestor = formattingIndex > 0 ? stack_[formattingIndex - 1] : nullptr;
    // 7. The bookmark is a position in the list.
    size_t bookmark = indexInListOfActiveFormattingElements(formattingElement.get());

    // 8.
    HTMLElementRef node = furthestBlock;
    HTMLElementRef lastNode = furthestBlock;
    size_t nodeIndex = furthestBlockIndex;
    for (int innerLoopCounter = 1;; ++innerLoopCounter) {
      // 8.1 The entry below node (below where it was, when it has just been removed).
      node = stack_[--nodeIndex];
      // 8.2
      if (node == formattingElement) break;
      // 8.3
      if (innerLoopCounter > 3 && node->inActiveFormattingElements_) {
        size_t at = indexInListOfActiveFormattingElements(node.get());
        if (at < bookmark) --bookmark;
        removeElementFromListOfActiveFormattingElements(node.get());
      }
      // 8.4
      if (!node->inActiveFormattingElements_) {
        removeFromStack(node.get());
        continue;
      }
      // 8.5 A copy of node takes its places in the list and in the stack.
      auto copy = std::static_pointer_cast<HTMLElement>(node->copy());
      size_t listIndex = indexInListOfActiveFormattingElements(node.get());
      // The copy has node's name, so the count of open elements of that name stays.
      node->inActiveFormattingElements_ = false;
      node->onStackOfOpenElements_ = false;
      copy->inActiveFormattingElements_ = true;
      copy->onStackOfOpenElements_ = true;
      list[listIndex] = copy;
      stack_[nodeIndex] = copy;
      node = copy;
      // 8.6
      if (lastNode == furthestBlock) bookmark = listIndex + 1;
      // 8.7
      node->addChild(lastNode);
      // 8.8
      lastNode = node;
    }

    // 9.
    insertNode(lastNode, commonAncestor.get());

    // 10-12. A copy of the formatting element takes over the furthest block's children.
    auto newElement = std::static_pointer_cast<HTMLElement>(formattingElement->copy());
    std::vector<HTMLNodeRef> children = furthestBlock->children();
    // Taken off from the end, each removal is one step.
    while (size_t count = furthestBlock->numberOfChildren()) furthestBlock->removeObjectFromChildrenAtIndex(count - 1);
    for (const HTMLNodeRef& child : children) newElement->addChild(child);
    furthestBlock->addChild(newElement);

    // 13.
    size_t formattingListIndex = indexInListOfActiveFormattingElements(formattingElement.get());
    if (formattingListIndex != HTMLNode::NotFound) {
      if (formattingListIndex < bookmark) --bookmark;
      removeElementFromListOfActiveFormattingElements(formattingElement.get());
    }
    if (bookmark > list.size()) bookmark = list.size();
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(bookmark), newElement);
    newElement->inActiveFormattingElements_ = true;

    // 14.
    removeFromStack(formattingElement.get());
    insertIntoStack(indexInStack(furthestBlock.get()) + 1, newElement);
  }
  return true;
}

}  // namespace html
