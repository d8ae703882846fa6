#pragma once
// MD5 digests (RFC 1321) as 32 lower-case hex digits; icon cache file names use them.
#include <string>

#include "foundation/Value.h"

namespace NSDataHash {

std::string MD5Hash(const Data& data);

}  // namespace NSDataHash
