#pragma once
// The root of a parsed document, and the entry points that parse one from bytes or
// from text.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "html/HTMLDocumentType.h"
#include "html/HTMLElement.h"
#include "html/HTMLNode.h"
#include "html/HTMLStringEncoding.h"

namespace html {

enum class HTMLQuirksMode : int8_t { NoQuirks = 0, Quirks = 1, LimitedQuirks = 2 };

class HTMLDocument : public HTMLNode {
 public:
  HTMLDocument() : HTMLNode(Kind::Document) {}

  // Bytes of any encoding: a byte-order mark, then the content type's charset, then a
  // fallback decide; a meta element naming another encoding makes one re-parse.
  static std::shared_ptr<HTMLDocument> documentWithData(std::string_view data,
                                                        const std::optional<std::string>& contentTypeHeader);
  static std::shared_ptr<HTMLDocument> documentWithData(const std::vector<uint8_t>& data,
                                                        const std::optional<std::string>& contentTypeHeader);
  // Text already decoded; it is never decoded again.
  static std::shared_ptr<HTMLDocument> documentWithString(StringView string);
  static std::shared_ptr<HTMLDocument> documentWithString(std::string_view utf8);

  // The first DOCTYPE child, or nullptr.
  std::shared_ptr<HTMLDocumentType> documentType() const;
  // Replaces the DOCTYPE in place, or puts it just before the root element (at the end
  // without one); nullptr removes it.
  void setDocumentType(const std::shared_ptr<HTMLDocumentType>& documentType);
  // The first element child, or nullptr.
  HTMLElementRef rootElement() const;
  void setRootElement(const HTMLElementRef& rootElement);
  // The root element's first child element named exactly "body"; no deeper search.
  HTMLElementRef bodyElement() const;

  NSStringEncoding parsedStringEncoding() const { return parsedStringEncoding_; }
  void setParsedStringEncoding(NSStringEncoding encoding) { parsedStringEncoding_ = encoding; }
  HTMLQuirksMode quirksMode() const { return quirksMode_; }
  void setQuirksMode(HTMLQuirksMode quirksMode) { quirksMode_ = quirksMode; }

  HTMLNodeRef copy() const override { return std::make_shared<HTMLDocument>(); }
  const char* className() const override { return "HTMLDocument"; }

 private:
  NSStringEncoding parsedStringEncoding_ = NSUTF8StringEncoding;
  HTMLQuirksMode quirksMode_ = HTMLQuirksMode::NoQuirks;
};

}  // namespace html
