#include "core/NSDataHash.h"

#include <openssl/evp.h>

#include "core/NSDataHex.h"

namespace NSDataHash {

std::string MD5Hash(const Data& data) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(data.data(), data.size(), digest, &length, EVP_md5(), nullptr);
  return NSDataHex::hexValue(Data(digest, digest + length));
}

}  // namespace NSDataHash
