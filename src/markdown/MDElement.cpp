#include "markdown/MDElement.h"

#include <algorithm>
#include <cstdio>

namespace markdown {

MDElement::~MDElement() {
  for (MDElement* child : children_)
    if (child->parent_ == this) child->parent_ = nullptr;
}

void MDElement::setChildren(std::vector<MDElement*> children) {
  for (MDElement* child : children_) child->parent_ = nullptr;
  children_ = std::move(children);
  for (MDElement* child : children_) child->parent_ = this;
}

void MDElement::addChild(MDElement* child) {
  children_.push_back(child);
  child->parent_ = this;
}

void MDElement::removeChild(MDElement* child) {
  auto it = std::find(children_.begin(), children_.end(), child);
  if (it == children_.end()) return;
  children_.erase(it);
  child->parent_ = nullptr;
}

MDElement* MDElement::removeLastChild() {
  if (children_.empty()) return nullptr;
  MDElement* child = children_.back();
  children_.pop_back();
  child->parent_ = nullptr;
  return child;
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
