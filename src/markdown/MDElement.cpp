#include "markdown/MDElement.h"

#include <algorithm>
#include <cstdio>

namespace markdown {

MDElementList::MDElementList(const std::vector<MDElement*>& elements) {
  for (MDElement* element : elements) append(element);
}

size_t MDElementList::size() const {
  size_t count = 0;
  for (MDElement* e = first_; e; e = e->next_) ++count;
  return count;
}

MDElement* MDElementList::operator[](size_t index) const {
  MDElement* e = first_;
  while (e && index-- > 0) e = e->next_;
  return e;
}

void MDElementList::append(MDElement* element) {
  element->next_ = nullptr;
  if (last_) {
    last_->next_ = element;
  } else {
    first_ = element;
  }
  last_ = element;
}

void MDElementList::prepend(MDElement* element) {
  element->next_ = first_;
  if (!first_) last_ = element;
  first_ = element;
}

void MDElementList::append(const MDElementList& others) {
  if (others.empty()) return;
  if (empty()) {
    *this = others;
    return;
  }
  last_->next_ = others.first_;
  last_ = others.last_;
}

std::vector<MDElement*> MDElementList::toVector() const {
  std::vector<MDElement*> out;
  for (MDElement* e : *this) out.push_back(e);
  return out;
}

// Only elements made outside a document are destroyed: a document's elements and
// everything they hold go with its arena at once.
MDElement::~MDElement() {
  for (MDElement* child : children_)
    if (child->parent_ == this) child->parent_ = nullptr;
  if (innerRanges.data_)
    resource_->deallocate(innerRanges.data_, innerRanges.capacity_ * sizeof(MDRange), alignof(MDRange));
  if (fields_) {
    fields_->~Fields();
    resource()->deallocate(fields_, sizeof(Fields), alignof(Fields));
  }
}

void MDElement::setChildren(const MDElementList& children) {
  for (MDElement* child : children_) child->parent_ = nullptr;
  children_ = children;
  for (MDElement* child : children_) child->parent_ = this;
}

void MDElement::addChild(MDElement* child) {
  children_.append(child);
  child->parent_ = this;
}

void MDElement::removeChild(MDElement* child) {
  if (child->parent_ != this) return;
  MDElement* previous = nullptr;
  for (MDElement* e = children_.first_; e != child; e = e->next_) previous = e;
  if (previous) {
    previous->next_ = child->next_;
  } else {
    children_.first_ = child->next_;
  }
  if (children_.last_ == child) children_.last_ = previous;
  child->next_ = nullptr;
  child->parent_ = nullptr;
}

void MDElement::growInnerRanges() {
  const uint32_t capacity = innerRanges.capacity_ == 0 ? 4 : innerRanges.capacity_ * 2;
  auto* data = static_cast<MDRange*>(resource_->allocate(capacity * sizeof(MDRange), alignof(MDRange)));
  std::copy(innerRanges.begin(), innerRanges.end(), data);
  if (innerRanges.data_)
    resource_->deallocate(innerRanges.data_, innerRanges.capacity_ * sizeof(MDRange), alignof(MDRange));
  innerRanges.data_ = data;
  innerRanges.capacity_ = capacity;
}

void MDElement::setInnerRanges(std::span<const MDRange> ranges) {
  innerRanges.size_ = 0;
  while (innerRanges.capacity_ < ranges.size()) growInnerRanges();
  std::copy(ranges.begin(), ranges.end(), innerRanges.data_);
  innerRanges.size_ = static_cast<uint32_t>(ranges.size());
}

MDElement* MDElement::removeLastChild() {
  MDElement* last = children_.last_;
  if (last) removeChild(last);
  return last;
}

const char* MDElement::typeLabel(MDElementType type) {
  switch (type) {
    case MDElementType::None: return "none";
    case MDElementType::Header: return "header";
    case MDElementType::Paragraph: return "paragraph";
    case MDElementType::Blockquote: return "blockquote";
    case MDElementType::NumberedList: return "ol";
    case MDElementType::BulletedList: return "ul";
    case MDElementType::ListItem: return "li";
    case MDElementType::CodeBlock: return "code";
    case MDElementType::HorizontalRule: return "hr";
    case MDElementType::HTML: return "html";
    case MDElementType::LineBreak: return "br";
    case MDElementType::Strikethrough: return "del";
    case MDElementType::Strong: return "strong";
    case MDElementType::Emphasis: return "em";
    case MDElementType::CodeSpan: return "code";
    case MDElementType::Image: return "image";
    case MDElementType::Link: return "link";
    case MDElementType::Mailto: return "mailto";
    case MDElementType::Definition: return "definition";
    case MDElementType::Entity: return "entity";
    default: return "unknown";
  }
}

std::string MDElement::description() const {
  char buffer[160];
  std::snprintf(buffer, sizeof buffer, "<MDElement: %p; type=%s; range={%zu, %zu}>", static_cast<const void*>(this),
                typeLabel(type), range.location, range.length);
  return buffer;
}

}  // namespace markdown
