#include "foundation/URL.h"

#include <array>
#include <cctype>

#include "foundation/Files.h"

namespace {

// ASCII only, whatever the process's locale says of other bytes.
bool isUnreserved(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_' || c == '~';
}
bool isSubDelim(unsigned char c) {
  switch (c) {
    case '!': case '$': case '&': case '\'': case '(': case ')': case '*': case '+': case ',': case ';': case '=':
      return true;
    default:
      return false;
  }
}
int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Every character of a URL text must be one RFC 3986 allows somewhere, and each "%"
// must start an escape. Where a character may stand is checked per part below.
bool charactersValid(std::string_view s) {
  for (size_t i = 0; i < s.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == '%') {
      if (i + 2 >= s.size() || hexValue(s[i + 1]) < 0 || hexValue(s[i + 2]) < 0) return false;
      continue;
    }
    if (isUnreserved(c) || isSubDelim(c)) continue;
    switch (c) {
      case ':': case '/': case '?': case '#': case '[': case ']': case '@':
        continue;
      default:
        return false;
    }
  }
  return true;
}

bool pathOrQueryCharsValid(std::string_view s, bool allowQuestion) {
  for (unsigned char c : s) {
    if (c == '[' || c == ']' || c == '#') return false;
    if (c == '?' && !allowQuestion) return false;
  }
  return true;
}

}  // namespace

std::optional<URL> URL::fromString(std::string_view text) {
  if (text.empty() || !charactersValid(text)) return std::nullopt;
  URL url;
  url.text_ = std::string(text);
  std::string_view rest = text;

  // scheme = ALPHA *( ALPHA / DIGIT / "+" / "-" / "." ) ":"
  size_t colon = rest.find(':');
  size_t firstDelim = rest.find_first_of("/?#");
  if (colon != std::string_view::npos && colon > 0 && (firstDelim == std::string_view::npos || colon < firstDelim) &&
      std::isalpha(static_cast<unsigned char>(rest[0]))) {
    bool ok = true;
    for (size_t i = 1; i < colon; ++i) {
      unsigned char c = static_cast<unsigned char>(rest[i]);
      if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') ok = false;
    }
    if (ok) {
      url.scheme_ = std::string(rest.substr(0, colon));
      rest.remove_prefix(colon + 1);
    }
  }

  size_t hash = rest.find('#');
  if (hash != std::string_view::npos) {
    url.fragment_ = std::string(rest.substr(hash + 1));
    if (url.fragment_->find('#') != std::string::npos) return std::nullopt;
    rest = rest.substr(0, hash);
  }
  size_t question = rest.find('?');
  if (question != std::string_view::npos) {
    url.query_ = std::string(rest.substr(question + 1));
    if (!pathOrQueryCharsValid(*url.query_, true)) return std::nullopt;
    rest = rest.substr(0, question);
  }

  if (rest.substr(0, 2) == "//") {
    url.hasAuthority_ = true;
    rest.remove_prefix(2);
    size_t slash = rest.find('/');
    std::string_view authority = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash);
    size_t at = authority.rfind('@');
    if (at != std::string_view::npos) {
      std::string_view userinfo = authority.substr(0, at);
      authority.remove_prefix(at + 1);
      if (userinfo.find_first_of("[]@") != std::string_view::npos) return std::nullopt;
      size_t c = userinfo.find(':');
      url.user_ = std::string(userinfo.substr(0, c));
      if (c != std::string_view::npos) url.password_ = std::string(userinfo.substr(c + 1));
    }
    std::string_view hostPort = authority;
    std::string_view portText;
    if (!hostPort.empty() && hostPort[0] == '[') {
      size_t close = hostPort.find(']');
      if (close == std::string_view::npos) return std::nullopt;
      url.host_ = std::string(hostPort.substr(1, close - 1));
      std::string_view after = hostPort.substr(close + 1);
      if (!after.empty()) {
        if (after[0] != ':') return std::nullopt;
        portText = after.substr(1);
      }
      for (unsigned char ch : url.host_)
        if (!std::isxdigit(ch) && ch != ':' && ch != '.') return std::nullopt;
    } else {
      size_t c = hostPort.rfind(':');
      if (c != std::string_view::npos) {
        portText = hostPort.substr(c + 1);
        hostPort = hostPort.substr(0, c);
      }
      if (hostPort.find_first_of("[]:") != std::string_view::npos) return std::nullopt;
      url.host_ = std::string(hostPort);
    }
    if (!portText.empty()) {
      if (portText.size() > 5) return std::nullopt;
      int port = 0;
      for (unsigned char ch : portText) {
        if (!std::isdigit(ch)) return std::nullopt;
        port = port * 10 + (ch - '0');
      }
      if (port > 65535) return std::nullopt;
      url.port_ = port;
    }
  }
  if (!pathOrQueryCharsValid(rest, false)) return std::nullopt;
  url.path_ = std::string(rest);
  return url;
}

URL URL::fileURLWithPath(const std::string& path) {
  std::string absolute = path.empty() || path[0] != '/' ? "/" + path : path;
  auto url = fromString("file://" + percentEncode(absolute, "/!$&'()*+,;=:@"));
  return url ? *url : URL{};
}

std::string URL::path() const {
  auto decoded = percentDecode(path_);
  return decoded ? *decoded : path_;
}

std::string URL::lastPathComponent() const { return Files::lastPathComponent(path()); }

bool URL::isFileURL() const {
  std::string s;
  for (char c : scheme_) s += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s == "file";
}

bool URL::isHTTP() const {
  std::string s;
  for (char c : scheme_) s += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s == "http" || s == "https";
}

URL URL::URLByAppendingPathComponent(const std::string& component) const {
  std::string base = text_;
  size_t cut = base.find_first_of("?#", scheme_.size());
  if (cut != std::string::npos) base.resize(cut);
  std::string encoded = percentEncode(component, "/!$&'()*+,;=:@");
  while (!base.empty() && base.back() == '/') base.pop_back();
  size_t lead = 0;
  while (lead < encoded.size() && encoded[lead] == '/') ++lead;
  std::string joined = base + "/" + encoded.substr(lead);
  auto url = fromString(joined);
  return url ? *url : *this;
}

std::vector<URLQueryItem> URL::queryItems() const {
  std::vector<URLQueryItem> items;
  if (!query_) return items;
  std::string_view q = *query_;
  while (true) {
    size_t amp = q.find('&');
    std::string_view part = q.substr(0, amp);
    if (!part.empty()) {
      URLQueryItem item;
      size_t eq = part.find('=');
      auto name = percentDecode(part.substr(0, eq));
      item.name = name ? *name : std::string(part.substr(0, eq));
      if (eq != std::string_view::npos) {
        auto value = percentDecode(part.substr(eq + 1));
        item.value = value ? *value : std::string(part.substr(eq + 1));
      }
      items.push_back(std::move(item));
    }
    if (amp == std::string_view::npos) break;
    q.remove_prefix(amp + 1);
  }
  return items;
}

std::string URL::percentEncode(std::string_view text, std::string_view allowed) {
  std::string out;
  appendPercentEncoded(out, text, allowed);
  return out;
}

void URL::appendPercentEncoded(std::string& out, std::string_view text, std::string_view allowed) {
  static const char* kHex = "0123456789ABCDEF";
  static const std::array<bool, 256> kUnreserved = [] {
    std::array<bool, 256> table{};
    for (size_t c = 0; c < table.size(); ++c) table[c] = isUnreserved(static_cast<unsigned char>(c));
    return table;
  }();
  std::array<bool, 256> kept = kUnreserved;
  for (char c : allowed) kept[static_cast<unsigned char>(c)] = true;
  out.reserve(out.size() + text.size());
  // Runs of characters kept as they are go in whole.
  size_t plain = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (kept[c]) continue;
    out.append(text.substr(plain, i - plain));
    plain = i + 1;
    out += '%';
    out += kHex[c >> 4];
    out += kHex[c & 15];
  }
  out.append(text.substr(plain));
}

std::optional<std::string> URL::percentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    int hi = hexValue(text[i + 1]), lo = hexValue(text[i + 2]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out += static_cast<char>(hi * 16 + lo);
    i += 2;
  }
  return out;
}

namespace {
// The five parts of a URL reference as written (RFC 3986 appendix B).
struct RawParts {
  std::optional<std::string> scheme, authority, query, fragment;
  std::string path;
};

RawParts splitReference(std::string_view text) {
  RawParts p;
  size_t hash = text.find('#');
  if (hash != std::string_view::npos) {
    p.fragment = std::string(text.substr(hash + 1));
    text = text.substr(0, hash);
  }
  size_t question = text.find('?');
  if (question != std::string_view::npos) {
    p.query = std::string(text.substr(question + 1));
    text = text.substr(0, question);
  }
  size_t colon = text.find(':');
  size_t slash = text.find('/');
  if (colon != std::string_view::npos && colon > 0 && (slash == std::string_view::npos || colon < slash)) {
    p.scheme = std::string(text.substr(0, colon));
    text.remove_prefix(colon + 1);
  }
  if (text.substr(0, 2) == "//") {
    text.remove_prefix(2);
    size_t end = text.find('/');
    p.authority = std::string(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end);
  }
  p.path = std::string(text);
  return p;
}

// RFC 3986 5.2.4.
std::string removeDotSegments(std::string in) {
  std::string out;
  while (!in.empty()) {
    if (in.rfind("../", 0) == 0) in.erase(0, 3);
    else if (in.rfind("./", 0) == 0) in.erase(0, 2);
    else if (in.rfind("/./", 0) == 0) in.erase(0, 2);
    else if (in == "/.") in = "/";
    else if (in.rfind("/../", 0) == 0 || in == "/..") {
      in = in == "/.." ? "/" : in.substr(3);
      size_t last = out.rfind('/');
      out.erase(last == std::string::npos ? 0 : last);
    } else if (in == "." || in == "..") {
      in.clear();
    } else {
      size_t next = in.find('/', in[0] == '/' ? 1 : 0);
      out += in.substr(0, next);
      in.erase(0, next == std::string::npos ? in.size() : next);
    }
  }
  return out;
}
}  // namespace

std::optional<URL> URL::fromString(std::string_view reference, const URL& base) {
  RawParts r = splitReference(reference);
  RawParts b = splitReference(base.absoluteString());
  if (!b.scheme) return std::nullopt;
  RawParts t;
  if (r.scheme) {
    t = r;
    t.path = removeDotSegments(r.path);
  } else {
    if (r.authority) {
      t.authority = r.authority;
      t.path = removeDotSegments(r.path);
      t.query = r.query;
    } else {
      if (r.path.empty()) {
        t.path = b.path;
        t.query = r.query ? r.query : b.query;
      } else {
        if (r.path[0] == '/') {
          t.path = removeDotSegments(r.path);
        } else {
          std::string merged = b.authority && b.path.empty() ? "/" + r.path
                                                              : b.path.substr(0, b.path.rfind('/') + 1) + r.path;
          t.path = removeDotSegments(merged);
        }
        t.query = r.query;
      }
      t.authority = b.authority;
    }
    t.scheme = b.scheme;
  }
  t.fragment = r.fragment;
  std::string text = *t.scheme + ":";
  if (t.authority) text += "//" + *t.authority;
  text += t.path;
  if (t.query) text += "?" + *t.query;
  if (t.fragment) text += "#" + *t.fragment;
  return fromString(text);
}
