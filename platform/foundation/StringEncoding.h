#pragma once
// Text encodings: validation, conversion to and from UTF-8 (our string form), and a
// best guess of the encoding of a byte string. The numeric values are those the device
// platform gives its encodings, so a stored or logged value keeps its meaning.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

enum class StringEncoding : uint32_t {
  ASCII = 1,
  UTF8 = 4,
  ISOLatin1 = 5,
  UTF16 = 10,  // byte order from a byte-order mark, big-endian without one
  WindowsCP1252 = 12,
  UTF32 = 0x8c000100,
  UTF16BigEndian = 0x90000100,
  UTF16LittleEndian = 0x94000100,
  UTF32BigEndian = 0x98000100,
  UTF32LittleEndian = 0x9c000100,
};

// A short name ("UTF-8", "windows-1252", ...) for logs.
const char* stringEncodingName(StringEncoding encoding);

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUTF8(std::string_view bytes);

// Appends one code point (at most U+10FFFF) as UTF-8.
void appendUTF8(std::string& out, char32_t codePoint);

// UTF-8 to UTF-16 code units (what the platform's string lengths and ranges count),
// each ill-formed byte sequence as U+FFFD.
std::u16string utf16FromUTF8(std::string_view utf8);
// UTF-16 code units to UTF-8, a lone surrogate as U+FFFD.
std::string utf8FromUTF16(std::u16string_view utf16);

// Windows-1252 as the WHATWG encoding standard defines it: every byte maps to a
// character (the five unassigned ones to the C1 controls of the same value), so this
// never fails and loses nothing.
void appendWindows1252AsUTF8(std::string& out, std::string_view bytes);
std::string windows1252ToUTF8(std::string_view bytes);

// Bytes in `encoding` to UTF-8; nothing when the bytes are not valid in it. A
// byte-order mark of the encoding is removed.
std::optional<std::string> decodeString(std::string_view bytes, StringEncoding encoding);

// UTF-8 text to bytes in `encoding`; nothing when the text is not valid UTF-8 or holds
// a character the encoding cannot represent. UTF16 and UTF32 are written big-endian
// with a byte-order mark.
std::optional<std::string> encodeString(std::string_view utf8, StringEncoding encoding);

struct DetectedString {
  std::string text;  // UTF-8
  StringEncoding encoding;
};

// The best guess for a byte string of unknown encoding: a byte-order mark decides;
// otherwise valid UTF-8 is UTF-8; text with the NUL pattern of UTF-16 is UTF-16 of that
// byte order; anything else is read as Windows-1252, which accepts every byte string.
DetectedString detectStringEncoding(std::string_view bytes);
