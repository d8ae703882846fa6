#pragma once
// The MD5 digest of a text's UTF-8 bytes up to its first NUL, as 32 lower-case hex digits
// (the text is read the way a C string is).
#include <string_view>
#include <string>

namespace NSStringHash {

std::string MD5Hash(std::string_view text);

}  // namespace NSStringHash
