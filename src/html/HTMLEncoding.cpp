#include "html/HTMLEncoding.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <vector>

#include "html/HTMLEncodingLabels.h"
#include "html/HTMLParser.h"

namespace html {

namespace {

// The platform's own numbers (CoreFoundation's), as its tables give them.
using CFStringEncoding = uint32_t;
constexpr CFStringEncoding kCFStringEncodingInvalidId = 0xFFFFFFFF;

struct EncodingName {
  std::string_view name;
  CFStringEncoding encoding;
  const char* converter;  // the ICU converter for its character set
};

// Sorted by exact comparison of the name.
const EncodingName kEncodingNames[] = {
    {"Big5", 0x0A03, "Big5"},
    {"EUC-JP", 0x0920, "EUC-JP"},
    {"EUC-KR", 0x0940, "EUC-KR"},
    {"GBK", 0x0631, "GBK"},
    {"IBM866", 0x041B, "IBM866"},
    {"ISO-2022-JP", 0x0820, "ISO-2022-JP"},
    {"ISO-8859-10", 0x020A, "ISO-8859-10"},
    {"ISO-8859-13", 0x020D, "ISO-8859-13"},
    {"ISO-8859-14", 0x020E, "ISO-8859-14"},
    {"ISO-8859-15", 0x020F, "ISO-8859-15"},
    {"ISO-8859-16", 0x0210, "ISO-8859-16"},
    {"ISO-8859-2", 0x0202, "ISO-8859-2"},
    {"ISO-8859-3", 0x0203, "ISO-8859-3"},
    {"ISO-8859-4", 0x0204, "ISO-8859-4"},
    {"ISO-8859-5", 0x0205, "ISO-8859-5"},
    {"ISO-8859-6", 0x0206, "ISO-8859-6"},
    {"ISO-8859-7", 0x0207, "ISO-8859-7"},
    {"ISO-8859-8", 0x0208, "ISO-8859-8"},
    {"ISO-8859-8-I", 0x0208, "ISO-8859-8"},
    {"KOI8-R", 0x0A02, "KOI8-R"},
    {"KOI8-U", 0x0A08, "KOI8-U"},
    {"Shift_JIS", 0x0A01, "Shift_JIS"},
    {"UTF-16BE", 0x10000100, "UTF-16BE"},
    {"UTF-16LE", 0x14000100, "UTF-16LE"},
    {"UTF-8", 0x08000100, "UTF-8"},
    {"gb18030", 0x0632, "gb18030"},
    {"macintosh", 0x0000, "macintosh"},
    {"replacement", kCFStringEncodingInvalidId, nullptr},
    {"windows-1250", 0x0501, "windows-1250"},
    {"windows-1251", 0x0502, "windows-1251"},
    {"windows-1252", 0x0500, "windows-1252"},
    {"windows-1253", 0x0503, "windows-1253"},
    {"windows-1254", 0x0504, "windows-1254"},
    {"windows-1255", 0x0505, "windows-1255"},
    {"windows-1256", 0x0506, "windows-1256"},
    {"windows-1257", 0x0507, "windows-1257"},
    {"windows-1258", 0x0508, "windows-1258"},
    {"windows-874", 0x041D, "windows-874"},
    {"x-mac-cyrillic", 0x0007, "x-mac-cyrillic"},
    {"x-user-defined", 0x0500, "windows-1252"},
};

// The conversion the platform makes from its CoreFoundation numbers to its Foundation
// ones: a few have short numbers of their own, the rest carry a high bit.
NSStringEncoding foundationEncoding(CFStringEncoding cf) {
  switch (cf) {
    case kCFStringEncodingInvalidId: return 0xFFFFFFFF;
    case 0x0600: return NSASCIIStringEncoding;
    case 0x0920: return NSJapaneseEUCStringEncoding;
    case 0x08000100: return NSUTF8StringEncoding;
    case 0x0201: return NSISOLatin1StringEncoding;
    case 0x0202: return NSISOLatin2StringEncoding;
    case 0x0100: return NSUnicodeStringEncoding;
    case 0x0502: return NSWindowsCP1251StringEncoding;
    case 0x0500: return NSWindowsCP1252StringEncoding;
    case 0x0503: return NSWindowsCP1253StringEncoding;
    case 0x0504: return NSWindowsCP1254StringEncoding;
    case 0x0501: return NSWindowsCP1250StringEncoding;
    case 0x0820: return NSISO2022JPStringEncoding;
    case 0x0000: return NSMacOSRomanStringEncoding;
    case 0x10000100: return NSUTF16BigEndianStringEncoding;
    case 0x14000100: return NSUTF16LittleEndianStringEncoding;
    default: return 0x80000000 | cf;
  }
}

const char* converterFor(NSStringEncoding encoding) {
  if (encoding == NSISOLatin1StringEncoding) return "ISO-8859-1";
  for (const EncodingName& row : kEncodingNames) {
    if (row.converter && foundationEncoding(row.encoding) == encoding) return row.converter;
  }
  return nullptr;
}

bool isLabelSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f' || c == 0x0B; }

StringView trimmed(StringView text) {
  while (!text.empty() && isLabelSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isLabelSpace(text.back())) text.remove_suffix(1);
  return text;
}

int compareIgnoringASCIICase(StringView a, std::string_view b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    char16_t x = toASCIILower(a[i]);
    char16_t y = toASCIILower(char16_t(static_cast<unsigned char>(b[i])));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

String decodeUTF16(std::string_view data, bool bigEndian) {
  String out;
  out.reserve(data.size() / 2 + 1);
  for (size_t i = 0; i + 1 < data.size(); i += 2) {
    auto hi = static_cast<unsigned char>(data[bigEndian ? i : i + 1]);
    auto lo = static_cast<unsigned char>(data[bigEndian ? i + 1 : i]);
    out.push_back(char16_t((hi << 8) | lo));
  }
  if (data.size() % 2) out.push_back(0xFFFD);
  // An unpaired surrogate is no character of the page.
  for (size_t i = 0; i < out.size(); ++i) {
    char16_t u = out[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < out.size() && out[i + 1] >= 0xDC00 && out[i + 1] <= 0xDFFF) {
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      out[i] = 0xFFFD;
    }
  }
  return out;
}

// ISO 8859-16, which the system's ICU data leaves out: ASCII and the C1 controls as
// themselves, then this table from 0xA0 on.
String decodeISO885916(std::string_view data) {
  static const char16_t kHigh[96] = {
      0x00A0, 0x0104, 0x0105, 0x0141, 0x20AC, 0x201E, 0x0160, 0x00A7, 0x0161, 0x00A9, 0x0218, 0x00AB,
      0x0179, 0x00AD, 0x017A, 0x017B, 0x00B0, 0x00B1, 0x010C, 0x0142, 0x017D, 0x201D, 0x00B6, 0x00B7,
      0x017E, 0x010D, 0x0219, 0x00BB, 0x0152, 0x0153, 0x0178, 0x017C, 0x00C0, 0x00C1, 0x00C2, 0x0102,
      0x00C4, 0x0106, 0x00C6, 0x00C7, 0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF,
      0x0110, 0x0143, 0x00D2, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x015A, 0x0170, 0x00D9, 0x00DA, 0x00DB,
      0x00DC, 0x0118, 0x021A, 0x00DF, 0x00E0, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x0107, 0x00E6, 0x00E7,
      0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF, 0x0111, 0x0144, 0x00F2, 0x00F3,
      0x00F4, 0x0151, 0x00F6, 0x015B, 0x0171, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x0119, 0x021B, 0x00FF};
  String out;
  out.reserve(data.size());
  for (char byte : data) {
    auto b = static_cast<unsigned char>(byte);
    out.push_back(b < 0xA0 ? char16_t(b) : kHigh[b - 0xA0]);
  }
  return out;
}

std::optional<String> decodeWithConverter(std::string_view data, const char* name) {
  if (std::string_view(name) == "ISO-8859-16") return decodeISO885916(data);
  UErrorCode status = U_ZERO_ERROR;
  UConverter* converter = ucnv_open(name, &status);
  if (U_FAILURE(status)) return std::nullopt;
  // Bytes the character set doesn't define make the whole decoding fail.
  ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  String out(data.size() * 2 + 16, u'\0');
  int32_t length = ucnv_toUChars(converter, reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()),
                                 data.data(), static_cast<int32_t>(data.size()), &status);
  if (status == U_BUFFER_OVERFLOW_ERROR) {
    status = U_ZERO_ERROR;
    ucnv_reset(converter);
    out.assign(static_cast<size_t>(length) + 1, u'\0');
    length = ucnv_toUChars(converter, reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()),
                           data.data(), static_cast<int32_t>(data.size()), &status);
  }
  ucnv_close(converter);
  if (U_FAILURE(status)) return std::nullopt;
  out.resize(static_cast<size_t>(length));
  return out;
}

// The label of "charset=" in a content type, or nothing: after the equals sign an
// optional double quote; quoted, the label runs to the closing quote; unquoted, to a
// semicolon or white space.
std::optional<String> charsetOfContentType(const std::string& contentType) {
  String text = fromUTF8(contentType);
  String lower = asciiLowercase(text);
  size_t at = lower.find(u"charset=");
  if (at == String::npos) return std::nullopt;
  at += 8;
  auto skipSpace = [&] {
    while (at < text.size() && isLabelSpace(text[at])) ++at;
  };
  skipSpace();
  bool quoted = at < text.size() && text[at] == u'"';
  if (quoted) {
    ++at;
    skipSpace();
  }
  size_t end = at;
  while (end < text.size() && text[end] != u'"' && (quoted || (text[end] != u';' && !isLabelSpace(text[end])))) ++end;
  if (end == at) return std::nullopt;
  return text.substr(at, end - at);
}

}  // namespace

NSStringEncoding InvalidStringEncoding() { return foundationEncoding(kCFStringEncodingInvalidId); }

bool IsUTF16Encoding(NSStringEncoding encoding) {
  return encoding == NSUTF16BigEndianStringEncoding || encoding == NSUTF16LittleEndianStringEncoding;
}

bool IsASCIICompatibleEncoding(NSStringEncoding encoding) {
  const NSStringEncoding utf7 = foundationEncoding(0x04000100), utf7IMAP = foundationEncoding(0x0A10),
                         hz = foundationEncoding(0x0A05);
  return !(encoding == NSUnicodeStringEncoding || IsUTF16Encoding(encoding) || encoding == utf7 ||
           encoding == utf7IMAP || encoding == hz);
}

NSStringEncoding StringEncodingForLabel(StringView label) {
  label = trimmed(label);
  size_t low = 0, high = EncodingLabelsCount;
  while (low < high) {
    size_t mid = low + (high - low) / 2;
    int order = compareIgnoringASCIICase(label, EncodingLabels[mid].label);
    if (order == 0) {
      for (const EncodingName& row : kEncodingNames) {
        if (row.name == EncodingLabels[mid].encodingName) return foundationEncoding(row.encoding);
      }
      return InvalidStringEncoding();
    }
    if (order < 0) {
      high = mid;
    } else {
      low = mid + 1;
    }
  }
  return InvalidStringEncoding();
}

std::optional<String> DecodeStringWithEncoding(std::string_view data, NSStringEncoding encoding) {
  if (encoding == NSUTF8StringEncoding) return fromUTF8(data);
  if (encoding == NSUTF16BigEndianStringEncoding) return decodeUTF16(data, true);
  if (encoding == NSUTF16LittleEndianStringEncoding) return decodeUTF16(data, false);
  const char* converter = converterFor(encoding);
  if (!converter) return std::nullopt;
  return decodeWithConverter(data, converter);
}

HTMLStringEncoding DeterminedStringEncodingForData(std::string_view data,
                                                   const std::optional<std::string>& contentType, String* string) {
  // 1. A byte-order mark decides, and the one U+FEFF it decodes to is dropped.
  auto byte = [&](size_t i) { return i < data.size() ? static_cast<unsigned char>(data[i]) : 0; };
  NSStringEncoding bomEncoding = InvalidStringEncoding();
  if (byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) {
    bomEncoding = NSUTF8StringEncoding;
  } else if (byte(0) == 0xFF && byte(1) == 0xFE) {
    bomEncoding = NSUTF16LittleEndianStringEncoding;
  } else if (byte(0) == 0xFE && byte(1) == 0xFF) {
    bomEncoding = NSUTF16BigEndianStringEncoding;
  }
  if (bomEncoding != InvalidStringEncoding()) {
    if (std::optional<String> text = DecodeStringWithEncoding(data, bomEncoding)) {
      if (!text->empty() && text->front() == 0xFEFF) text->erase(0, 1);
      *string = std::move(*text);
      return {bomEncoding, HTMLEncodingConfidence::Certain};
    }
  }

  // 2. The content type's charset, when it is known and the bytes decode with it.
  if (contentType) {
    if (std::optional<String> label = charsetOfContentType(*contentType)) {
      NSStringEncoding encoding = StringEncodingForLabel(*label);
      if (encoding != InvalidStringEncoding()) {
        if (std::optional<String> text = DecodeStringWithEncoding(data, encoding)) {
          *string = std::move(*text);
          return {encoding, HTMLEncodingConfidence::Certain};
        }
      }
    }
  }

  // 3. windows-1252, or ISO 8859-1 should the decoder refuse.
  if (std::optional<String> text = DecodeStringWithEncoding(data, NSWindowsCP1252StringEncoding)) {
    *string = std::move(*text);
    return {NSWindowsCP1252StringEncoding, HTMLEncodingConfidence::Tentative};
  }
  *string = *DecodeStringWithEncoding(data, NSISOLatin1StringEncoding);
  return {NSISOLatin1StringEncoding, HTMLEncodingConfidence::Tentative};
}

std::optional<String> ExtractCharsetFromContentAttribute(StringView content) {
  const String lower = asciiLowercase(content);
  size_t at = 0;
  auto skipSpace = [&] {
    while (at < content.size() && isLabelSpace(content[at])) ++at;
  };
  for (;;) {
    // 1-2. The next "charset" that an equals sign follows.
    size_t found = lower.find(u"charset", at);
    if (found == String::npos) return std::nullopt;
    at = found + 7;
    skipSpace();
    if (at < content.size() && content[at] == u'=') break;
  }
  ++at;
  skipSpace();
  // 3. Quoted: up to the same quote, which must be there.
  if (at < content.size() && (content[at] == u'"' || content[at] == u'\'')) {
    char16_t quote = content[at++];
    size_t end = content.find(quote, at);
    if (end == StringView::npos) return std::nullopt;
    return String(content.substr(at, end - at));
  }
  // 4. Unquoted: up to a semicolon or the end.
  size_t end = content.find(u';', at);
  if (end == StringView::npos) end = content.size();
  if (end == at) return std::nullopt;
  return String(content.substr(at, end - at));
}

std::unique_ptr<HTMLParser> ParserWithDataAndContentType(std::string_view data,
                                                         const std::optional<std::string>& contentType) {
  // 1-2.
  String text;
  HTMLStringEncoding encoding = DeterminedStringEncodingForData(data, contentType, &text);
  auto parser = std::make_unique<HTMLParser>(text, encoding, nullptr);

  // 3. A meta element asking for another encoding makes a second parser over the bytes
  // decoded again (or, should they not decode, over the first text with its pair, whose
  // meta element then only records an error).
  std::unique_ptr<HTMLParser> replacement;
  parser->setChangeEncoding([&](HTMLStringEncoding requested) {
    if (std::optional<String> again = DecodeStringWithEncoding(data, requested.encoding)) {
      replacement = std::make_unique<HTMLParser>(std::move(*again), requested, nullptr);
    } else {
      replacement = std::make_unique<HTMLParser>(text, encoding, nullptr);
    }
  });

  // 4-5.
  parser->document();
  parser->setChangeEncoding(nullptr);
  if (!replacement) return parser;
  replacement->document();
  return replacement;
}

}  // namespace html
