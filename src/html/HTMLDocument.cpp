#include "html/HTMLDocument.h"

#include "html/HTMLEncoding.h"
#include "html/HTMLParser.h"


namespace html {

std::shared_ptr<HTMLDocument> HTMLDocument::documentWithData(
    std::string_view data, const std::optional<std::string>& contentTypeHeader) {
  return ParserWithDataAndContentType(data, contentTypeHeader)->document();
}

std::shared_ptr<HTMLDocument> HTMLDocument::documentWithData(
    const std::vector<uint8_t>& data, const std::optional<std::string>& contentTypeHeader) {
  return documentWithData(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()),
                          contentTypeHeader);
}

std::shared_ptr<HTMLDocument> HTMLDocument::documentWithString(StringView string) {
  HTMLParser parser(String(string), HTMLStringEncoding{NSUTF8StringEncoding, HTMLEncodingConfidence::Tentative},
                    nullptr);
  return parser.document();
}

std::shared_ptr<HTMLDocument> HTMLDocument::documentWithString(std::string_view utf8) {
  return documentWithString(StringView(fromUTF8(utf8)));
}

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
