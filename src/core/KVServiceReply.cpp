#include "core/KVServiceReply.h"

#include "foundation/StringEncoding.h"

std::string KVServiceReply::textFromBody(const Data& body) {
  std::string text(body.begin(), body.end());
  if (isValidUTF8(text)) return text;
  for (char& c : text)
    if (static_cast<unsigned char>(c) >= 0x80) c = '?';
  return text;
}

Expected<Value> KVServiceReply::parseJSON(const Data& body) {
  std::string parserError;
  if (auto json = Value::fromJSON(body, &parserError)) return std::move(*json);
  return makeError(NSCocoaErrorDomain, 3840, parserError);
}
