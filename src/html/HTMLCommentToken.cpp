#include "html/HTMLCommentToken.h"

#include <functional>

#include "html/HTMLCodePoints.h"
#include "html/HTMLTokenDescription.h"

namespace html {

void HTMLCommentToken::appendLongCharacter(CodePoint c) { AppendLongCharacter(data_, c); }

size_t HTMLCommentToken::hash() const { return std::hash<String>{}(data_); }

String HTMLCommentToken::description() const {
  return tokenDescription("HTMLCommentToken", this, u"<!-- " + data_ + u" -->");
}

}  // namespace html
