// The tree builder's shared operations: the stack of open elements and its scopes, the
// appropriate place for inserting a node (with foster parenting), creating and
// inserting nodes, the list of active formatting elements, resetting the insertion
// mode, implied end tags and the generic text-element algorithms.
#include "html/HTMLComment.h"
#include "html/HTMLParser.h"

namespace html {

// MARK: The stack of open elements

void HTMLParser::countOpenElement(const HTMLElement& element, int delta) {
  if (element.tagId() == TagId::Unknown) {
    openUnknownElementCounts_[element.tagName()] += delta;
  } else {
    openElementCounts_[static_cast<size_t>(element.tagId())] += delta;
  }
  if (!isHTML(element)) openForeignElementCounts_[asciiLowercase(element.tagName())] += delta;
}

bool HTMLParser::isForeignOpenNamedIgnoringCase(const String& lowercaseName) const {
  auto found = openForeignElementCounts_.find(lowercaseName);
  return found != openForeignElementCounts_.end() && found->second > 0;
}

bool HTMLParser::isAnyOpen(const TagSet& ids) const {
  bool any = false;
  ids.forEach([&](TagId id) { any = any || isOpen(id); });
  return any;
}

bool HTMLParser::isOpenNamed(const String& tagName) const {
  TagId id = tagIdForName(tagName);
  if (id != TagId::Unknown) return isOpen(id);
  auto found = openUnknownElementCounts_.find(tagName);
  return found != openUnknownElementCounts_.end() && found->second > 0;
}

void HTMLParser::push(const HTMLElementRef& element) {
  element->onStackOfOpenElements_ = true;
  countOpenElement(*element, 1);
  stack_.push_back(element);
}

void HTMLParser::insertIntoStack(size_t index, const HTMLElementRef& element) {
  element->onStackOfOpenElements_ = true;
  countOpenElement(*element, 1);
  stack_.insert(stack_.begin() + static_cast<std::ptrdiff_t>(index), element);
}

void HTMLParser::popCurrentNode() {
  if (stack_.empty()) return;
  stack_.back()->onStackOfOpenElements_ = false;
  countOpenElement(*stack_.back(), -1);
  stack_.pop_back();
}

void HTMLParser::popUntilElementNamed(TagId id) {
  while (!stack_.empty()) {
    bool found = stack_.back()->tagId() == id;
    popCurrentNode();
    if (found) return;
  }
}

void HTMLParser::popUntilAnyElementNamed(const TagSet& ids) {
  while (!stack_.empty()) {
    bool found = ids.contains(stack_.back()->tagId());
    popCurrentNode();
    if (found) return;
  }
}

void HTMLParser::popUntilElement(const HTMLElement* element) {
  if (!element->onStackOfOpenElements_) return;
  while (!stack_.empty()) {
    bool found = stack_.back().get() == element;
    popCurrentNode();
    if (found) return;
  }
}

size_t HTMLParser::indexInStack(const HTMLElement* element) const {
  if (!element->onStackOfOpenElements_) return HTMLNode::NotFound;
  for (size_t i = stack_.size(); i-- > 0;) {
    if (stack_[i].get() == element) return i;
  }
  return HTMLNode::NotFound;
}

void HTMLParser::removeFromStack(const HTMLElement* element) {
  size_t at = indexInStack(element);
  if (at == HTMLNode::NotFound) return;
  stack_[at]->onStackOfOpenElements_ = false;
  countOpenElement(*stack_[at], -1);
  stack_.erase(stack_.begin() + static_cast<std::ptrdiff_t>(at));
}

// MARK: Scopes

// From the current node down: a target ends the walk with a find (before the boundary
// test, so a target that is itself a boundary is found); a boundary ends it without.
HTMLElement* HTMLParser::elementInSpecificScope(const TagSet& targets, const TagSet& extraHTMLBoundaries) const {
  if (!isAnyOpen(targets)) return nullptr;
  for (size_t i = stack_.size(); i-- > 0;) {
    HTMLElement* node = stack_[i].get();
    if (targets.contains(node->tagId())) return node;
    if (IsDefaultScopeBoundary(*node, extraHTMLBoundaries)) return nullptr;
  }
  return nullptr;
}

HTMLElement* HTMLParser::elementInScopeWithTagName(TagId id) const { return elementInSpecificScope(TagSet{id}, {}); }

HTMLElement* HTMLParser::elementInScopeWithTagNameInArray(const TagSet& ids) const {
  return elementInSpecificScope(ids, {});
}

HTMLElement* HTMLParser::elementInButtonScopeWithTagName(TagId id) const {
  static const TagSet button{TagId::Button};
  return elementInSpecificScope(TagSet{id}, button);
}

HTMLElement* HTMLParser::elementInListItemScopeWithTagName(TagId id) const {
  static const TagSet lists{TagId::Ol, TagId::Ul};
  return elementInSpecificScope(TagSet{id}, lists);
}

HTMLElement* HTMLParser::elementInTableScopeWithTagNameInArray(const TagSet& ids, bool htmlOnly) const {
  if (!isAnyOpen(ids)) return nullptr;
  for (size_t i = stack_.size(); i-- > 0;) {
    HTMLElement* node = stack_[i].get();
    if (ids.contains(node->tagId()) && (!htmlOnly || isHTML(*node))) return node;
    if (isHTML(*node) && (node->tagId() == TagId::Html || node->tagId() == TagId::Table)) return nullptr;
  }
  return nullptr;
}

HTMLElement* HTMLParser::selectElementInSelectScope() const {
  if (!isOpen(TagId::Select)) return nullptr;
  for (size_t i = stack_.size(); i-- > 0;) {
    HTMLElement* node = stack_[i].get();
    if (node->tagId() == TagId::Select) return node;
    if (!(isHTML(*node) && (node->tagId() == TagId::Optgroup || node->tagId() == TagId::Option))) return nullptr;
  }
  return nullptr;
}

bool HTMLParser::isElementInScope(const HTMLElement* element) const {
  if (!element->onStackOfOpenElements_) return false;
  for (size_t i = stack_.size(); i-- > 0;) {
    HTMLElement* node = stack_[i].get();
    if (node == element) return true;
    if (IsDefaultScopeBoundary(*node, {})) return false;
  }
  return false;
}

// MARK: Inserting

HTMLParser::InsertionPlace HTMLParser::appropriatePlaceForInsertingANode(HTMLElement* overrideTarget) const {
  HTMLElement* target = overrideTarget ? overrideTarget : currentNode();
  if (!target) return {};
  // 1.
  TagId id = target->tagId();
  bool tableish = id == TagId::Table || id == TagId::Tbody || id == TagId::Tfoot || id == TagId::Thead ||
                  id == TagId::Tr;
  if (!fosterParenting_ || !tableish) return {target, target->numberOfChildren()};
  // 2. Foster parenting: next to the last table.
  for (size_t i = stack_.size(); i-- > 0;) {
    HTMLElement* table = stack_[i].get();
    if (table->tagId() != TagId::Table) continue;
    // 4.
    if (HTMLElement* parent = table->parentElement()) return {parent, parent->indexOfChild(table)};
    // 5.
    if (i == 0) return {};
    HTMLElement* below = stack_[i - 1].get();
    return {below, below->numberOfChildren()};
  }
  // 3.
  HTMLElement* html = stack_.front().get();
  return {html, html->numberOfChildren()};
}

HTMLElementRef HTMLParser::createElementForToken(const HTMLStartTagToken& token, HTMLNamespace ns) {
  auto element = std::make_shared<HTMLElement>(token.tagName(), token.attributes());
  element->setHtmlNamespace(ns);
  return element;
}

HTMLElementRef HTMLParser::insertElementForToken(const HTMLStartTagToken& token) {
  HTMLElementRef element = createElementForToken(token);
  insertElement(element);
  return element;
}

HTMLElementRef HTMLParser::insertElementNamed(const char16_t* tagName) {
  return insertElementForToken(HTMLStartTagToken(tagName));
}

void HTMLParser::insertElement(const HTMLElementRef& element) {
  InsertionPlace place = appropriatePlaceForInsertingANode();
  if (place.parent) place.parent->insertObject(element, place.index);
  push(element);
}

void HTMLParser::insertForeignElementForToken(const HTMLStartTagToken& token, HTMLNamespace ns) {
  HTMLElementRef element = createElementForToken(token, ns);
  // Always the current node's last child: never foster-parented.
  if (HTMLElement* current = currentNode()) current->addChild(element);
  push(element);
}

void HTMLParser::insertNode(const HTMLNodeRef& node, HTMLElement* overrideTarget) {
  InsertionPlace place = appropriatePlaceForInsertingANode(overrideTarget);
  if (!place.parent) return;
  if (node->parentNode() == place.parent) {
    // Moving within the same parent: take it out first so that it lands at the place.
    size_t at = place.parent->indexOfChild(node.get());
    place.parent->removeObjectFromChildrenAtIndex(at);
    if (at < place.index) --place.index;
  }
  place.parent->insertObject(node, place.index);
}

void HTMLParser::insertString(StringView text) {
  InsertionPlace place = appropriatePlaceForInsertingANode();
  if (!place.parent || place.parent->kind() == HTMLNode::Kind::Document) return;
  place.parent->insertString(text, place.index);
}

void HTMLParser::insertComment(const HTMLToken& token, HTMLNode* inNode) {
  auto comment = std::make_shared<HTMLComment>(std::get<HTMLCommentToken>(token).data());
  if (inNode) {
    inNode->addChild(comment);
    return;
  }
  InsertionPlace place = appropriatePlaceForInsertingANode();
  if (place.parent) place.parent->insertObject(comment, place.index);
}

// MARK: The list of active formatting elements

size_t HTMLParser::indexInListOfActiveFormattingElements(const HTMLElement* element) const {
  if (!element->inActiveFormattingElements_) return HTMLNode::NotFound;
  for (size_t i = activeFormattingElements_.size(); i-- > 0;) {
    if (activeFormattingElements_[i].get() == element) return i;
  }
  return HTMLNode::NotFound;
}

void HTMLParser::pushElementOnToListOfActiveFormattingElements(const HTMLElementRef& element) {
  // At most three identical elements after the last marker: a fourth pushes out the
  // earliest of the three.
  int count = 0;
  for (size_t i = activeFormattingElements_.size(); i-- > 0;) {
    const HTMLElementRef& entry = activeFormattingElements_[i];
    if (!entry) break;
    if (entry->tagName() != element->tagName() || entry->attributes().count() != element->attributes().count() ||
        !(entry->attributes() == element->attributes())) {
      continue;
    }
    if (++count == 3) {
      entry->inActiveFormattingElements_ = false;
      activeFormattingElements_.erase(activeFormattingElements_.begin() + static_cast<std::ptrdiff_t>(i));
      break;
    }
  }
  element->inActiveFormattingElements_ = true;
  activeFormattingElements_.push_back(element);
}

void HTMLParser::removeElementFromListOfActiveFormattingElements(const HTMLElement* element) {
  size_t at = indexInListOfActiveFormattingElements(element);
  if (at == HTMLNode::NotFound) return;
  activeFormattingElements_[at]->inActiveFormattingElements_ = false;
  activeFormattingElements_.erase(activeFormattingElements_.begin() + static_cast<std::ptrdiff_t>(at));
}

void HTMLParser::reconstructTheActiveFormattingElements() {
  auto& list = activeFormattingElements_;
  // 1.
  if (list.empty() || !list.back() || list.back()->onStackOfOpenElements_) return;
  // 2. Rewind to just after the last marker or open element.
  size_t start = list.size() - 1;
  while (start > 0) {
    const HTMLElementRef& entry = list[start - 1];
    if (!entry || entry->onStackOfOpenElements_) break;
    --start;
  }
  // 3. Advance: each entry is replaced by a new element inserted for it.
  for (size_t i = start; i < list.size(); ++i) {
    HTMLStartTagToken token(list[i]->tagName());
    token.setAttributes(list[i]->attributes());
    HTMLElementRef element = insertElementForToken(token);
    list[i]->inActiveFormattingElements_ = false;
    element->inActiveFormattingElements_ = true;
    list[i] = element;
  }
}

void HTMLParser::clearActiveFormattingElementsUpToLastMarker() {
  while (!activeFormattingElements_.empty()) {
    HTMLElementRef entry = std::move(activeFormattingElements_.back());
    activeFormattingElements_.pop_back();
    if (!entry) return;
    entry->inActiveFormattingElements_ = false;
  }
}

// MARK: Other shared steps

void HTMLParser::resetInsertionModeAppropriately() {
  for (size_t i = stack_.size(); i-- > 0;) {
    // 1.
    bool last = i == 0;
    HTMLElement* node = last ? context_.get() : stack_[i].get();
    if (node) {
      switch (node->tagId()) {
        case TagId::Select:
          // 2.
          if (!last) {
            for (size_t j = i; j-- > 0;) {
              if (stack_[j]->tagId() == TagId::Table) return switchInsertionMode(Mode::InSelectInTable);
            }
          }
          return switchInsertionMode(Mode::InSelect);
        // 3.
        case TagId::Td:
        case TagId::Th:
          if (!last) return switchInsertionMode(Mode::InCell);
          break;
        case TagId::Tr: return switchInsertionMode(Mode::InRow);
        case TagId::Tbody:
        case TagId::Thead:
        case TagId::Tfoot: return switchInsertionMode(Mode::InTableBody);
        case TagId::Caption: return switchInsertionMode(Mode::InCaption);
        case TagId::Colgroup: return switchInsertionMode(Mode::InColumnGroup);
        case TagId::Table: return switchInsertionMode(Mode::InTable);
        case TagId::Head:
          if (!last) return switchInsertionMode(Mode::InHead);
          break;
        case TagId::Body: return switchInsertionMode(Mode::InBody);
        case TagId::Frameset: return switchInsertionMode(Mode::InFrameset);
        case TagId::Html: return switchInsertionMode(Mode::BeforeHead);
        default: break;
      }
    }
    // 4.
    if (last) return switchInsertionMode(Mode::InBody);
  }
}

void HTMLParser::generateImpliedEndTagsExceptForTagsNamed(TagId except) {
  static const TagSet implied{TagId::Dd, TagId::Dt, TagId::Li, TagId::Menuitem, TagId::Optgroup,
                              TagId::Option, TagId::P, TagId::Rp, TagId::Rt};
  while (HTMLElement* node = currentNode()) {
    TagId id = node->tagId();
    if (!implied.contains(id) || id == except) return;
    popCurrentNode();
  }
}

void HTMLParser::ignoreLeadingWhitespace(HTMLToken& token, void (HTMLParser::*rest)(HTMLToken&)) {
  std::optional<HTMLCharacterToken> remainder = std::get<HTMLCharacterToken>(token).afterLeadingWhitespaceToken();
  if (!remainder) return;
  HTMLToken others = std::move(*remainder);
  (this->*rest)(others);
}

void HTMLParser::insertLeadingWhitespace(HTMLToken& token, void (HTMLParser::*rest)(HTMLToken&)) {
  const auto& characters = std::get<HTMLCharacterToken>(token);
  if (std::optional<HTMLCharacterToken> leading = characters.leadingWhitespaceToken()) insertString(leading->string());
  ignoreLeadingWhitespace(token, rest);
}

void HTMLParser::splitLeadingWhitespaceToInBody(HTMLToken& token, void (HTMLParser::*rest)(HTMLToken&)) {
  if (std::optional<HTMLCharacterToken> leading = std::get<HTMLCharacterToken>(token).leadingWhitespaceToken()) {
    HTMLToken whitespace = std::move(*leading);
    processTokenUsingRulesForInsertionMode(whitespace, Mode::InBody);
  }
  ignoreLeadingWhitespace(token, rest);
}

void HTMLParser::followGenericParsingAlgorithmForToken(const HTMLStartTagToken& token, int tokenizerState) {
  insertElementForToken(token);
  tokenizer_.setState(tokenizerState);
  switchInsertionMode(Mode::Text);
}

}  // namespace html
