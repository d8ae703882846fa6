#pragma once
// The tokens the tokenizer hands the tree builder. Parse errors travel in the same
// sequence so that they are recorded in order; the end of input is a token the tree
// builder makes itself.
#include <string>
#include <variant>

#include "html/HTMLCharacterToken.h"
#include "html/HTMLCommentToken.h"
#include "html/HTMLDOCTYPEToken.h"
#include "html/HTMLTagToken.h"

namespace html {

class HTMLParseErrorToken {
 public:
  HTMLParseErrorToken() = default;
  explicit HTMLParseErrorToken(std::string error) : error_(std::move(error)) {}
  const std::string& error() const { return error_; }
  // Any two parse errors are equal, whatever their messages.
  bool operator==(const HTMLParseErrorToken&) const { return true; }
  size_t hash() const { return 27; }

 private:
  std::string error_;
};

class HTMLEOFToken {
 public:
  bool operator==(const HTMLEOFToken&) const { return true; }
  size_t hash() const { return 1245524566; }
};

using HTMLToken = std::variant<HTMLCharacterToken, HTMLStartTagToken, HTMLEndTagToken, HTMLCommentToken,
                               HTMLDOCTYPEToken, HTMLParseErrorToken, HTMLEOFToken>;

}  // namespace html
