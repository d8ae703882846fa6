#include "webkit/WebPage.h"

#include <algorithm>
#include <cmath>

#include "foundation/StringEncoding.h"
#include "uikit/UIFont.h"

namespace {
std::string lowerASCII(std::string s) {
  for (char& c : s) c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
  return s;
}

// The charset a page names for itself in its first kilobytes: <meta charset="..."> or
// the content type of an http-equiv <meta>.
std::optional<std::string> metaCharset(const Data& body) {
  std::string head = lowerASCII(std::string(body.begin(), body.begin() + long(std::min<size_t>(body.size(), 4096))));
  size_t at = head.find("charset=");
  if (at == std::string::npos || head.rfind("<meta", at) == std::string::npos) return std::nullopt;
  at += 8;
  while (at < head.size() && (head[at] == '"' || head[at] == '\'')) ++at;
  size_t end = head.find_first_of("\"'; />", at);
  std::string name = head.substr(at, end == std::string::npos ? std::string::npos : end - at);
  if (name.empty()) return std::nullopt;
  return name;
}

std::optional<StringEncoding> encodingNamed(const std::string& name) {
  std::string n = lowerASCII(name);
  if (n == "utf-8" || n == "utf8") return StringEncoding::UTF8;
  if (n == "iso-8859-1" || n == "latin1" || n == "windows-1252" || n == "us-ascii" || n == "ascii")
    return StringEncoding::WindowsCP1252;  // browsers read all three as windows-1252
  if (n == "utf-16le") return StringEncoding::UTF16LittleEndian;
  if (n == "utf-16be" || n == "utf-16") return StringEncoding::UTF16BigEndian;
  return std::nullopt;
}
}  // namespace

WebPage WebPage::fromHTML(std::string html, std::optional<URL> url) {
  WebPage page;
  page.url = url;
  page.baseURL = std::move(url);
  page.summary = WebPageSummary::scan(html);
  page.html = std::move(html);
  return page;
}

WebPage WebPage::fromReply(const Data& body, URLResponseRef response) {
  std::string_view bytes(reinterpret_cast<const char*>(body.data()), body.size());
  std::optional<std::string> text;
  std::optional<std::string> charset = response ? response->textEncodingName() : std::nullopt;
  if (!charset) charset = metaCharset(body);
  if (charset)
    if (auto encoding = encodingNamed(*charset)) text = decodeString(bytes, *encoding);
  if (!text) text = detectStringEncoding(bytes).text;
  WebPage page = fromHTML(std::move(*text), response ? std::optional<URL>(response->url()) : std::nullopt);
  page.response = std::move(response);
  return page;
}

std::optional<URL> WebPage::resolve(const std::string& href) const {
  if (baseURL) return URL::fromString(href, *baseURL);
  return URL::fromString(href);
}

double WebPage::contentHeightAtWidth(double width) const {
  UIFont font = UIFont::systemFontOfSize(16);
  double usable = std::max(1.0, width - 16);
  double lines = 0;
  for (auto& p : summary.paragraphs) lines += std::max(1.0, std::ceil(font.widthOfString(p) / usable));
  return 16 + lines * font.lineHeight();
}
