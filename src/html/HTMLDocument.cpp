#include "html/HTMLDocument.h"


namespace html {

std::shared_ptr<HTMLDocumentType> HTMLDocument::documentType() const {
  for (const HTMLNodeRef& child : children()) {
    if (child->kind() == Kind::DocumentType) return std::static_pointer_cast<HTMLDocumentType>(child);
  }
  return nullptr;
}

void HTMLDocument::setDocumentType(const std::shared_ptr<HTMLDocumentType>& documentType) {
  std::shared_ptr<HTMLDocumentType> existing = this->documentType();
  if (existing && documentType) {
    replaceObjectInChildrenAtIndex(indexOfChild(existing.get()), documentType);
  } else if (documentType) {
    HTMLElementRef root = rootElement();
    insertObject(documentType, root ? indexOfChild(root.get()) : numberOfChildren());
  } else if (existing) {
    removeChild(existing.get());
  }
}

HTMLElementRef HTMLDocument::rootElement() const {
  for (const HTMLNodeRef& child : children()) {
    if (child->isElement()) return std::static_pointer_cast<HTMLElement>(child);
  }
  return nullptr;
}

void HTMLDocument::setRootElement(const HTMLElementRef& rootElement) {
  HTMLElementRef existing = this->rootElement();
  if (existing && rootElement) {
    replaceObjectInChildrenAtIndex(indexOfChild(existing.get()), rootElement);
  } else if (rootElement) {
    addChild(rootElement);
  } else if (existing) {
    removeChild(existing.get());
  }
}

HTMLElementRef HTMLDocument::bodyElement() const {
  HTMLElementRef root = rootElement();
  if (!root) return nullptr;
  for (const HTMLNodeRef& child : root->children()) {
    if (child->isElement() && static_cast<HTMLElement*>(child.get())->tagName() == u"body") {
      return std::static_pointer_cast<HTMLElement>(child);
    }
  }
  return nullptr;
}

}  // namespace html
