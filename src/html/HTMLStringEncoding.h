#pragma once
// Encodings as the platform numbers them (its string-encoding values), and the pair the
// parser carries: the encoding its text was decoded with and how sure that is.
#include <cstdint>

namespace html {

using NSStringEncoding = uint32_t;

inline constexpr NSStringEncoding NSASCIIStringEncoding = 1;
inline constexpr NSStringEncoding NSJapaneseEUCStringEncoding = 3;
inline constexpr NSStringEncoding NSUTF8StringEncoding = 4;
inline constexpr NSStringEncoding NSISOLatin1StringEncoding = 5;
inline constexpr NSStringEncoding NSISOLatin2StringEncoding = 9;
inline constexpr NSStringEncoding NSUnicodeStringEncoding = 10;  // UTF-16 in host order
inline constexpr NSStringEncoding NSWindowsCP1251StringEncoding = 11;
inline constexpr NSStringEncoding NSWindowsCP1252StringEncoding = 12;
inline constexpr NSStringEncoding NSWindowsCP1253StringEncoding = 13;
inline constexpr NSStringEncoding NSWindowsCP1254StringEncoding = 14;
inline constexpr NSStringEncoding NSWindowsCP1250StringEncoding = 15;
inline constexpr NSStringEncoding NSISO2022JPStringEncoding = 21;
inline constexpr NSStringEncoding NSMacOSRomanStringEncoding = 30;
inline constexpr NSStringEncoding NSUTF16BigEndianStringEncoding = 0x90000100;
inline constexpr NSStringEncoding NSUTF16LittleEndianStringEncoding = 0x94000100;

enum class HTMLEncodingConfidence : int8_t { Tentative = 0, Certain = 1, Irrelevant = 2 };

struct HTMLStringEncoding {
  NSStringEncoding encoding = NSUTF8StringEncoding;
  HTMLEncodingConfidence confidence = HTMLEncodingConfidence::Tentative;

  bool operator==(const HTMLStringEncoding&) const = default;
};

}  // namespace html
