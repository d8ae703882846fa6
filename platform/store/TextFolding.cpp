#include "store/TextFolding.h"

#include <unicode/normalizer2.h>
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/uversion.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <cstring>
#include <memory>

namespace store::text {

namespace {

bool isAscii(std::string_view s) {
  for (unsigned char c : s) {
    if (c >= 0x80) return false;
  }
  return true;
}

const icu::Normalizer2* nfd() {
  UErrorCode status = U_ZERO_ERROR;
  static const icu::Normalizer2* n = icu::Normalizer2::getNFDInstance(status);
  return n;
}

const icu::Normalizer2* nfc() {
  UErrorCode status = U_ZERO_ERROR;
  static const icu::Normalizer2* n = icu::Normalizer2::getNFCInstance(status);
  return n;
}

// Decodes one code point; invalid bytes come out as themselves so nothing is lost.
int32_t nextCodePoint(std::string_view s, size_t& i) {
  int32_t offset = static_cast<int32_t>(i);
  UChar32 c;
  U8_NEXT(reinterpret_cast<const uint8_t*>(s.data()), offset, static_cast<int32_t>(s.size()), c);
  if (c < 0) c = 0xDC00 + static_cast<unsigned char>(s[i]);  // a lone byte, kept apart from real text
  i = static_cast<size_t>(offset);
  return c;
}

}  // namespace

std::string fold(std::string_view input, int flags) {
  if (isAscii(input)) {
    std::string out(input);
    if (flags & kCaseInsensitive) {
      for (auto& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      }
    }
    return out;
  }
  UErrorCode status = U_ZERO_ERROR;
  icu::UnicodeString s = icu::UnicodeString::fromUTF8(icu::StringPiece(input.data(), static_cast<int32_t>(input.size())));
  if (flags & kDiacriticInsensitive) {
    icu::UnicodeString decomposed = nfd()->normalize(s, status);
    icu::UnicodeString stripped;
    for (int32_t i = 0; i < decomposed.length();) {
      UChar32 c = decomposed.char32At(i);
      if (u_charType(c) != U_NON_SPACING_MARK) stripped.append(c);
      i += U16_LENGTH(c);
    }
    s = stripped;
  }
  if (flags & kCaseInsensitive) s.foldCase();
  status = U_ZERO_ERROR;
  icu::UnicodeString composed = nfc()->normalize(s, status);
  std::string out;
  (U_SUCCESS(status) ? composed : s).toUTF8String(out);
  return out;
}

std::string lowercase(std::string_view input) {
  if (isAscii(input)) return fold(input, kCaseInsensitive);
  icu::UnicodeString s = icu::UnicodeString::fromUTF8(icu::StringPiece(input.data(), static_cast<int32_t>(input.size())));
  s.toLower(icu::Locale::getRoot());
  std::string out;
  s.toUTF8String(out);
  return out;
}

bool contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

bool beginsWith(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool endsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool like(std::string_view text, std::string_view pattern) {
  // Iterative wildcard matching with one backtrack point, linear in practice.
  size_t t = 0, p = 0;
  size_t starP = std::string_view::npos, starT = 0;
  while (t < text.size()) {
    if (p < pattern.size()) {
      size_t pNext = p;
      int32_t pc = nextCodePoint(pattern, pNext);
      if (pc == '*') {
        starP = pNext;
        starT = t;
        p = pNext;
        continue;
      }
      bool escaped = false;
      if (pc == '\\' && pNext < pattern.size()) {
        pc = nextCodePoint(pattern, pNext);
        escaped = true;
      }
      size_t tNext = t;
      int32_t tc = nextCodePoint(text, tNext);
      if ((!escaped && pc == '?') || pc == tc) {
        t = tNext;
        p = pNext;
        continue;
      }
    }
    if (starP == std::string_view::npos) return false;
    nextCodePoint(text, starT);
    t = starT;
    p = starP;
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::string collationVersion() {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UCollator, void (*)(UCollator*)> collator(ucol_open("", &status), ucol_close);
  if (U_FAILURE(status) || !collator) return "";
  UVersionInfo version;
  ucol_getVersion(collator.get(), version);
  char text[U_MAX_VERSION_STRING_LENGTH];
  u_versionToString(version, text);
  return text;
}

int collate(std::string_view a, std::string_view b) {
  struct CollatorDeleter {
    void operator()(UCollator* c) const { ucol_close(c); }
  };
  // Collators are cheap to use but not to make, and not meant to be shared across
  // threads while in use: one per thread.
  thread_local std::unique_ptr<UCollator, CollatorDeleter> collator([] {
    UErrorCode status = U_ZERO_ERROR;
    UCollator* c = ucol_open("", &status);
    return U_SUCCESS(status) ? c : nullptr;
  }());
  if (collator) {
    UErrorCode status = U_ZERO_ERROR;
    UCollationResult r = ucol_strcollUTF8(collator.get(), a.data(), static_cast<int32_t>(a.size()), b.data(),
                                          static_cast<int32_t>(b.size()), &status);
    if (U_SUCCESS(status) && r != UCOL_EQUAL) return r == UCOL_LESS ? -1 : 1;
  }
  int c = a.compare(b);
  return (c > 0) - (c < 0);
}

}  // namespace store::text
