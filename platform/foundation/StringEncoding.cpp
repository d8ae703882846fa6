#include "foundation/StringEncoding.h"

#include <algorithm>
#include <cstring>

#include <unicode/utf16.h>
#include <unicode/utf8.h>

namespace {

// Windows-1252 bytes 0x80..0x9F (WHATWG mapping; the unassigned five map to themselves).
constexpr char32_t kCP1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Reads one code point of valid UTF-8 at `i` and moves past it.
char32_t nextCodePoint(std::string_view s, size_t& i) {
  auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char c = b(i);
  if (c < 0x80) {
    ++i;
    return c;
  }
  if (c < 0xE0) {
    char32_t r = ((c & 0x1Fu) << 6) | (b(i + 1) & 0x3Fu);
    i += 2;
    return r;
  }
  if (c < 0xF0) {
    char32_t r = ((c & 0x0Fu) << 12) | ((b(i + 1) & 0x3Fu) << 6) | (b(i + 2) & 0x3Fu);
    i += 3;
    return r;
  }
  char32_t r = ((c & 0x07u) << 18) | ((b(i + 1) & 0x3Fu) << 12) | ((b(i + 2) & 0x3Fu) << 6) | (b(i + 3) & 0x3Fu);
  i += 4;
  return r;
}

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

std::optional<std::string> decodeUTF16(std::string_view bytes, bool bigEndian) {
  if (bytes.size() % 2) return std::nullopt;
  std::string out;
  out.reserve(bytes.size());
  auto unit = [&](size_t k) -> char32_t {
    auto hi = static_cast<unsigned char>(bytes[bigEndian ? k : k + 1]);
    auto lo = static_cast<unsigned char>(bytes[bigEndian ? k + 1 : k]);
    return (char32_t(hi) << 8) | lo;
  };
  for (size_t i = 0; i < bytes.size(); i += 2) {
    char32_t u = unit(i);
    if (u >= 0xD800 && u < 0xDC00) {
      if (i + 2 >= bytes.size()) return std::nullopt;
      char32_t low = unit(i + 2);
      if (low < 0xDC00 || low >= 0xE000) return std::nullopt;
      u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
      i += 2;
    } else if (u >= 0xDC00 && u < 0xE000) {
      return std::nullopt;
    }
    appendUTF8(out, u);
  }
  return out;
}

std::optional<std::string> decodeUTF32(std::string_view bytes, bool bigEndian) {
  if (bytes.size() % 4) return std::nullopt;
  std::string out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size(); i += 4) {
    char32_t c = 0;
    for (int k = 0; k < 4; ++k) {
      auto byte = static_cast<unsigned char>(bytes[i + (bigEndian ? k : 3 - k)]);
      c = (c << 8) | byte;
    }
    if (c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) return std::nullopt;
    appendUTF8(out, c);
  }
  return out;
}

void appendUnits(std::string& out, char32_t c, int width, bool bigEndian) {
  for (int k = 0; k < width; ++k) {
    int shift = 8 * (bigEndian ? width - 1 - k : k);
    out.push_back(static_cast<char>((c >> shift) & 0xFF));
  }
}

std::optional<std::string> encodeWide(std::string_view utf8, bool utf32, bool bigEndian, bool bom) {
  std::string out;
  int width = utf32 ? 4 : 2;
  if (bom) appendUnits(out, 0xFEFF, width, bigEndian);
  for (size_t i = 0; i < utf8.size();) {
    char32_t c = nextCodePoint(utf8, i);
    if (!utf32 && c >= 0x10000) {
      c -= 0x10000;
      appendUnits(out, 0xD800 + (c >> 10), 2, bigEndian);
      appendUnits(out, 0xDC00 + (c & 0x3FF), 2, bigEndian);
    } else {
      appendUnits(out, c, width, bigEndian);
    }
  }
  return out;
}

std::optional<std::string> encodeNarrow(std::string_view utf8, StringEncoding encoding) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    char32_t c = nextCodePoint(utf8, i);
    if (c < 0x80 || (encoding == StringEncoding::ISOLatin1 && c < 0x100) ||
        (encoding == StringEncoding::WindowsCP1252 && c >= 0xA0 && c < 0x100)) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    if (encoding != StringEncoding::WindowsCP1252) return std::nullopt;
    const char32_t* hit = std::find(kCP1252High, kCP1252High + 32, c);
    if (hit == kCP1252High + 32) return std::nullopt;
    out.push_back(static_cast<char>(0x80 + (hit - kCP1252High)));
  }
  return out;
}

// BOM-less UTF-16 shows as NULs in every other byte when the text is mostly Latin.
std::optional<DetectedString> guessUTF16(std::string_view bytes) {
  if (bytes.size() < 2 || bytes.size() % 2) return std::nullopt;
  size_t evenNul = 0, oddNul = 0;
  for (size_t i = 0; i < bytes.size(); ++i)
    if (bytes[i] == 0) (i % 2 ? oddNul : evenNul)++;
  size_t half = bytes.size() / 2;
  bool little = oddNul * 2 >= half && evenNul == 0;
  bool big = evenNul * 2 >= half && oddNul == 0;
  if (!little && !big) return std::nullopt;
  if (auto text = decodeUTF16(bytes, big))
    return DetectedString{std::move(*text), big ? StringEncoding::UTF16BigEndian : StringEncoding::UTF16LittleEndian};
  return std::nullopt;
}

}  // namespace

void appendUTF8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

std::u16string utf16FromUTF8(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  const auto* s = reinterpret_cast<const uint8_t*>(utf8.data());
  int32_t i = 0, n = int32_t(utf8.size());
  while (i < n) {
    UChar32 c;
    U8_NEXT(s, i, n, c);
    if (c < 0) c = 0xFFFD;
    if (c > 0xFFFF) {
      out.push_back(char16_t(U16_LEAD(c)));
      out.push_back(char16_t(U16_TRAIL(c)));
    } else {
      out.push_back(char16_t(c));
    }
  }
  return out;
}

std::string utf8FromUTF16(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  int32_t i = 0, n = int32_t(utf16.size());
  while (i < n) {
    UChar32 c;
    U16_NEXT(utf16.data(), i, n, c);
    if (U_IS_SURROGATE(c)) c = 0xFFFD;
    appendUTF8(out, char32_t(c));
  }
  return out;
}

const char* stringEncodingName(StringEncoding encoding) {
  switch (encoding) {
    case StringEncoding::ASCII: return "US-ASCII";
    case StringEncoding::UTF8: return "UTF-8";
    case StringEncoding::ISOLatin1: return "ISO-8859-1";
    case StringEncoding::UTF16: return "UTF-16";
    case StringEncoding::WindowsCP1252: return "windows-1252";
    case StringEncoding::UTF32: return "UTF-32";
    case StringEncoding::UTF16BigEndian: return "UTF-16BE";
    case StringEncoding::UTF16LittleEndian: return "UTF-16LE";
    case StringEncoding::UTF32BigEndian: return "UTF-32BE";
    case StringEncoding::UTF32LittleEndian: return "UTF-32LE";
  }
  return "unknown";
}

bool isValidUTF8(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* end = p + bytes.size();
  while (p < end) {
    // Eight ASCII bytes at a time: the common case for control files.
    while (end - p >= 8) {
      uint64_t word;
      std::memcpy(&word, p, 8);
      if (word & 0x8080808080808080ULL) break;
      p += 8;
    }
    if (p == end) break;
    unsigned char c = *p;
    if (c < 0x80) {
      ++p;
      continue;
    }
    size_t need;
    unsigned char lo = 0x80, hi = 0xBF;  // bounds of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
      need = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      need = 2;
      if (c == 0xE0) lo = 0xA0;  // overlong
      if (c == 0xED) hi = 0x9F;  // surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
      need = 3;
      if (c == 0xF0) lo = 0x90;  // overlong
      if (c == 0xF4) hi = 0x8F;  // above U+10FFFF
    } else {
      return false;
    }
    if (static_cast<size_t>(end - p) <= need) return false;
    if (p[1] < lo || p[1] > hi) return false;
    for (size_t k = 2; k <= need; ++k)
      if ((p[k] & 0xC0) != 0x80) return false;
    p += need + 1;
  }
  return true;
}

void appendWindows1252AsUTF8(std::string& out, std::string_view bytes) {
  out.reserve(out.size() + bytes.size() + bytes.size() / 2);
  for (char ch : bytes) {
    auto c = static_cast<unsigned char>(ch);
    if (c < 0x80)
      out.push_back(ch);
    else if (c < 0xA0)
      appendUTF8(out, kCP1252High[c - 0x80]);
    else
      appendUTF8(out, c);
  }
}

std::string windows1252ToUTF8(std::string_view bytes) {
  std::string out;
  appendWindows1252AsUTF8(out, bytes);
  return out;
}

std::optional<std::string> decodeString(std::string_view bytes, StringEncoding encoding) {
  switch (encoding) {
    case StringEncoding::UTF8:
      if (startsWith(bytes, "\xEF\xBB\xBF")) bytes.remove_prefix(3);
      if (!isValidUTF8(bytes)) return std::nullopt;
      return std::string(bytes);
    case StringEncoding::ASCII:
      for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) return std::nullopt;
      return std::string(bytes);
    case StringEncoding::ISOLatin1: {
      std::string out;
      for (char c : bytes) appendUTF8(out, static_cast<unsigned char>(c));
      return out;
    }
    case StringEncoding::WindowsCP1252:
      return windows1252ToUTF8(bytes);
    case StringEncoding::UTF16:
      if (startsWith(bytes, "\xFF\xFE")) return decodeUTF16(bytes.substr(2), false);
      if (startsWith(bytes, "\xFE\xFF")) return decodeUTF16(bytes.substr(2), true);
      return decodeUTF16(bytes, true);
    case StringEncoding::UTF16BigEndian:
      if (startsWith(bytes, "\xFE\xFF")) bytes.remove_prefix(2);
      return decodeUTF16(bytes, true);
    case StringEncoding::UTF16LittleEndian:
      if (startsWith(bytes, "\xFF\xFE")) bytes.remove_prefix(2);
      return decodeUTF16(bytes, false);
    case StringEncoding::UTF32:
      if (startsWith(bytes, std::string_view("\xFF\xFE\0\0", 4))) return decodeUTF32(bytes.substr(4), false);
      if (startsWith(bytes, std::string_view("\0\0\xFE\xFF", 4))) return decodeUTF32(bytes.substr(4), true);
      return decodeUTF32(bytes, true);
    case StringEncoding::UTF32BigEndian:
      if (startsWith(bytes, std::string_view("\0\0\xFE\xFF", 4))) bytes.remove_prefix(4);
      return decodeUTF32(bytes, true);
    case StringEncoding::UTF32LittleEndian:
      if (startsWith(bytes, std::string_view("\xFF\xFE\0\0", 4))) bytes.remove_prefix(4);
      return decodeUTF32(bytes, false);
  }
  return std::nullopt;
}

std::optional<std::string> encodeString(std::string_view utf8, StringEncoding encoding) {
  if (!isValidUTF8(utf8)) return std::nullopt;
  switch (encoding) {
    case StringEncoding::UTF8: return std::string(utf8);
    case StringEncoding::ASCII:
    case StringEncoding::ISOLatin1:
    case StringEncoding::WindowsCP1252: return encodeNarrow(utf8, encoding);
    case StringEncoding::UTF16: return encodeWide(utf8, false, true, true);
    case StringEncoding::UTF16BigEndian: return encodeWide(utf8, false, true, false);
    case StringEncoding::UTF16LittleEndian: return encodeWide(utf8, false, false, false);
    case StringEncoding::UTF32: return encodeWide(utf8, true, true, true);
    case StringEncoding::UTF32BigEndian: return encodeWide(utf8, true, true, false);
    case StringEncoding::UTF32LittleEndian: return encodeWide(utf8, true, false, false);
  }
  return std::nullopt;
}

DetectedString detectStringEncoding(std::string_view bytes) {
  struct Mark {
    std::string_view bom;
    StringEncoding encoding;
  };
  // UTF-32 little-endian's mark begins with UTF-16 little-endian's, so it comes first.
  static const Mark kMarks[] = {
      {std::string_view("\xFF\xFE\0\0", 4), StringEncoding::UTF32},
      {std::string_view("\0\0\xFE\xFF", 4), StringEncoding::UTF32},
      {"\xEF\xBB\xBF", StringEncoding::UTF8},
      {"\xFF\xFE", StringEncoding::UTF16},
      {"\xFE\xFF", StringEncoding::UTF16},
  };
  for (const Mark& m : kMarks) {
    if (!startsWith(bytes, m.bom)) continue;
    if (auto text = decodeString(bytes, m.encoding)) return {std::move(*text), m.encoding};
    break;
  }
  // NUL bytes are valid UTF-8, so the UTF-16 pattern is looked for first; ordinary
  // text never shows it.
  if (auto utf16 = guessUTF16(bytes)) return std::move(*utf16);
  if (isValidUTF8(bytes)) return {std::string(bytes), StringEncoding::UTF8};
  return {windows1252ToUTF8(bytes), StringEncoding::WindowsCP1252};
}
