#pragma once
// A comment token.
#include "html/HTMLString.h"

namespace html {

class HTMLCommentToken {
 public:
  HTMLCommentToken() = default;
  explicit HTMLCommentToken(String data) : data_(std::move(data)) {}

  const String& data() const { return data_; }
  String& data() { return data_; }
  void appendString(StringView string) { data_.append(string); }
  void appendLongCharacter(CodePoint c);

  bool operator==(const HTMLCommentToken& other) const { return data_ == other.data_; }
  size_t hash() const;
  String description() const;

 private:
  String data_;
};

}  // namespace html
