#pragma once
// The pictures under tests/fixtures/icons: a package icon (PNG), a source icon (JPEG) and
// the placeholder the stand-in store serves, as bytes and as server replies.
#include <string>

#include "foundation/Files.h"
#include "support/TestData.h"
#include "support/TestHttpServer.h"

namespace IconFixtures {
inline std::string bytes(const std::string& name) {
  auto data = Files::read(testdata::fixture("icons/" + name));
  return data ? stringFromData(*data) : std::string();
}
inline TestHttpResponse reply(const std::string& name) {
  TestHttpResponse response;
  response.body = bytes(name);
  response.contentType = "image/png";
  return response;
}
}  // namespace IconFixtures
