#include "core/NSStringHash.h"

#include "core/NSDataHash.h"

namespace NSStringHash {

std::string MD5Hash(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  return NSDataHash::MD5Hash(Data(text.begin(), text.end()));
}

}  // namespace NSStringHash
