#pragma once
// A comment. Its text content is its data.
#include "html/HTMLNode.h"

namespace html {

class HTMLComment : public HTMLNode {
 public:
  HTMLComment() : HTMLNode(Kind::Comment) {}
  explicit HTMLComment(String data) : HTMLNode(Kind::Comment), data_(std::move(data)) {}

  const String& data() const { return data_; }
  void setData(String data) { data_ = std::move(data); }

  String textContent() const override { return data_; }
  void setTextContent(StringView textContent) override { data_ = String(textContent); }

  HTMLNodeRef copy() const override { return std::make_shared<HTMLComment>(data_); }
  const char* className() const override { return "HTMLComment"; }

 private:
  String data_;
};

}  // namespace html
