#pragma once
// A run of text.
#include "html/HTMLNode.h"

namespace html {

class HTMLTextNode : public HTMLNode {
 public:
  HTMLTextNode() : HTMLNode(Kind::Text) {}
  explicit HTMLTextNode(String data) : HTMLNode(Kind::Text), data_(std::move(data)) {}

  const String& data() const { return data_; }
  void appendString(StringView string) { data_.append(string); }

  HTMLNodeRef copy() const override { return std::make_shared<HTMLTextNode>(data_); }
  const char* className() const override { return "HTMLTextNode"; }

 private:
  String data_;
};

}  // namespace html
