#pragma once
// A web service's reply as a service call hands it on: the status, the body, and the
// body read as JSON when the call asked for JSON.
#include <string>

#include "foundation/Expected.h"
#include "foundation/URLResponse.h"
#include "foundation/Value.h"

class KVServiceReply {
 public:
  KVServiceReply(URLResponseRef response, Data body, Value json = {})
      : response_(std::move(response)), body_(std::move(body)), json_(std::move(json)) {}

  // The HTTP status; 0 when the reply had none.
  int status() const { return response_ ? response_->statusCode() : 0; }
  const URLResponseRef& response() const { return response_; }
  const Data& body() const { return body_; }
  // The JSON the call accepted; null when it asked for none.
  const Value& json() const { return json_; }
  // The body as text: as it is when it is UTF-8 (which plain ASCII is), otherwise every
  // byte outside ASCII replaced by "?", so a reply in another encoding never yields text
  // that is not UTF-8.
  std::string text() const { return textFromBody(body_); }

  static std::string textFromBody(const Data& body);
  // The body read as JSON; a body that is none fails as the platform's reader does
  // (NSCocoaErrorDomain 3840, the parser's message).
  static Expected<Value> parseJSON(const Data& body);

 private:
  URLResponseRef response_;
  Data body_;
  Value json_;
};
