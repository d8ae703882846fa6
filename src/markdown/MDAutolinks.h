#pragma once
// Links the span parser finds in text: an address in angle brackets ("<http://...>",
// "<me@example.org>") and, with the autolink extension, e-mail addresses, "http",
// "https" and "ftp" addresses and "www." addresses written in plain text. Each
// recogniser runs in the caller's transaction and returns the link element or nothing.
#include <cstddef>
#include <cstdint>

#include "markdown/MDDocument.h"
#include "markdown/MDScanner.h"
#include "markdown/MDTextSearch.h"

namespace markdown {

class MDAutolinks {
 public:
  // "<scheme://...>": only text a strict URL parser accepts is a link, since its text
  // is written nearly unescaped.
  MDElement* parseAutomaticLink(MDScanner& scanner, MDDocument& document);
  // "<address@host.tld>".
  MDElement* parseAutomaticEmailLink(MDScanner& scanner, MDDocument& document);
  // At a '@': the address around it. Looks back no further than `runStart` (the start
  // of the text run the caller is reading) or the line's start.
  MDElement* parseEmailAddress(MDScanner& scanner, MDDocument& document, size_t runStart);
  // At a ':': "http://", "https://" or "ftp://" with a domain and a path.
  MDElement* parseURL(MDScanner& scanner, MDDocument& document, size_t runStart);
  // At a 'w': "www." with a domain and a path; the target gets "http://" in front.
  MDElement* parseWWWURL(MDScanner& scanner, MDDocument& document);

  // What is known of the scanner (by its identifier), or of every scanner, is forgotten.
  void forget(uint64_t scanner) { search_.forget(scanner); }
  void forgetAll() { search_.forgetAll(); }

 private:
  static bool parseDomain(MDScanner& scanner);
  static void parsePath(MDScanner& scanner);

  MDTextSearch search_;
};

}  // namespace markdown
