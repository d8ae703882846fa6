#include "core/KVShareLinks.h"

#include "foundation/URL.h"

std::string KVShareLinks::queryValue(const std::string& text) { return URL::percentEncode(text, ":/@"); }

std::string KVShareLinks::linkName(const std::string& name) {
  std::string encoded = URL::percentEncode(name, " :/@");
  for (auto& c : encoded)
    if (c == ' ') c = '+';
  return encoded;
}
