#pragma once
// The DOCTYPE of a document. An identifier that was not given is the empty string.
#include <optional>

#include "html/HTMLNode.h"

namespace html {

class HTMLDocumentType : public HTMLNode {
 public:
  HTMLDocumentType() : HTMLDocumentType(u"html", std::nullopt, std::nullopt) {}
  HTMLDocumentType(String name, std::optional<String> publicIdentifier,
                   std::optional<String> systemIdentifier)
      : HTMLNode(Kind::DocumentType),
        name_(std::move(name)),
        publicIdentifier_(publicIdentifier.value_or(String())),
        systemIdentifier_(systemIdentifier.value_or(String())) {}

  const String& name() const { return name_; }
  const String& publicIdentifier() const { return publicIdentifier_; }
  const String& systemIdentifier() const { return systemIdentifier_; }

  HTMLNodeRef copy() const override {
    return std::make_shared<HTMLDocumentType>(name_, publicIdentifier_, systemIdentifier_);
  }
  const char* className() const override { return "HTMLDocumentType"; }

 private:
  String name_;
  String publicIdentifier_;
  String systemIdentifier_;
};

}  // namespace html
