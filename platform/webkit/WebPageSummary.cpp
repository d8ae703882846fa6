#include "webkit/WebPageSummary.h"

#include <cctype>
#include <cstdlib>
#include <optional>
#include <utility>

#include "foundation/StringEncoding.h"

namespace {
char lowerASCII(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool isLetter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }

// The start of "</name" at or after `from`, any case; npos when none.
size_t findClosing(std::string_view s, size_t from, std::string_view name) {
  for (size_t i = s.find("</", from); i != std::string_view::npos; i = s.find("</", i + 2)) {
    bool same = i + 2 + name.size() <= s.size();
    for (size_t k = 0; same && k < name.size(); ++k) same = lowerASCII(s[i + 2 + k]) == name[k];
    if (same) return i;
  }
  return std::string_view::npos;
}

// Past the ">" that ends the tag starting at `at`, or the end of the text.
size_t pastTagEnd(std::string_view s, size_t at) {
  size_t end = s.find('>', at);
  return end == std::string_view::npos ? s.size() : end + 1;
}

// The few character references a page's text and addresses use; others stay as written.
std::string decodeEntities(std::string_view s) {
  static const std::pair<std::string_view, std::string_view> named[] = {
      {"amp", "&"}, {"lt", "<"}, {"gt", ">"}, {"quot", "\""}, {"apos", "'"}, {"nbsp", " "}};
  std::string out;
  for (size_t i = 0; i < s.size();) {
    size_t semi = s[i] == '&' ? s.find(';', i) : std::string_view::npos;
    if (semi == std::string_view::npos || semi - i > 10) {
      out.push_back(s[i++]);
      continue;
    }
    std::string_view name = s.substr(i + 1, semi - i - 1);
    bool done = false;
    if (name.size() > 1 && name[0] == '#') {
      bool hex = name[1] == 'x' || name[1] == 'X';
      std::string digits(name.substr(hex ? 2 : 1));
      char* end = nullptr;
      long code = digits.empty() ? -1 : std::strtol(digits.c_str(), &end, hex ? 16 : 10);
      if (end && *end == '\0' && code >= 0) {
        bool valid = code > 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
        appendUTF8(out, valid ? char32_t(code) : char32_t(0xFFFD));
        done = true;
      }
    } else {
      for (auto& [entity, text] : named)
        if (name == entity) out += text, done = true;
    }
    if (done) i = semi + 1;
    else out.push_back(s[i++]);
  }
  return out;
}

// Appends text with every run of white space as one blank, none at the start.
void appendCollapsed(std::string& out, std::string_view text) {
  for (char c : text) {
    if (isSpace(c)) {
      if (!out.empty() && out.back() != ' ') out.push_back(' ');
    } else {
      out.push_back(c);
    }
  }
}

std::string collapsed(std::string_view text) {
  std::string out;
  appendCollapsed(out, decodeEntities(text));
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

bool isBlock(const std::string& name) {
  static const char* blocks[] = {"p",  "div", "br", "li",     "ul",      "ol",     "h1",     "h2",    "h3",
                                 "h4", "h5",  "h6", "tr",     "table",   "section", "article", "header", "footer",
                                 "nav", "hr", "dd", "dt",     "form",    "fieldset", "main",   "aside", "figure",
                                 "blockquote", "pre", "body", "label"};
  for (const char* b : blocks)
    if (name == b) return true;
  return false;
}

struct Tag {
  std::string name;
  bool closing = false;
  std::vector<std::pair<std::string, std::string>> attributes;
  size_t end = 0;  // past its ">"

  std::string attribute(const std::string& key) const {
    for (auto& [k, v] : attributes)
      if (k == key) return v;
    return {};
  }
};

// The tag at `at` (a "<" followed by a letter, or "</" and a letter).
Tag readTag(std::string_view s, size_t at) {
  Tag t;
  size_t i = at + 1;
  if (s[i] == '/') t.closing = true, ++i;
  while (i < s.size() && !isSpace(s[i]) && s[i] != '>' && s[i] != '/') t.name.push_back(lowerASCII(s[i++]));
  while (i < s.size() && s[i] != '>') {
    if (isSpace(s[i]) || s[i] == '/') {
      ++i;
      continue;
    }
    std::string key;
    while (i < s.size() && !isSpace(s[i]) && s[i] != '=' && s[i] != '>' && (s[i] != '/' || key.empty()))
      key.push_back(lowerASCII(s[i++]));
    std::string value;
    while (i < s.size() && isSpace(s[i])) ++i;
    if (i < s.size() && s[i] == '=') {
      ++i;
      while (i < s.size() && isSpace(s[i])) ++i;
      if (i < s.size() && (s[i] == '"' || s[i] == '\'')) {
        char quote = s[i++];
        size_t close = s.find(quote, i);
        if (close == std::string_view::npos) close = s.size();
        value = decodeEntities(s.substr(i, close - i));
        i = close < s.size() ? close + 1 : close;
      } else {
        size_t start = i;
        while (i < s.size() && !isSpace(s[i]) && s[i] != '>') ++i;
        value = decodeEntities(s.substr(start, i - start));
      }
    }
    t.attributes.emplace_back(std::move(key), std::move(value));
  }
  t.end = i < s.size() ? i + 1 : s.size();
  return t;
}
}  // namespace

WebPageSummary WebPageSummary::scan(std::string_view s) {
  WebPageSummary page;
  std::string current;
  std::optional<WebPageLink> link;
  auto flush = [&] {
    while (!current.empty() && current.back() == ' ') current.pop_back();
    if (!current.empty()) page.paragraphs.push_back(std::move(current));
    current.clear();
  };
  auto finishLink = [&] {
    if (!link) return;
    while (!link->text.empty() && link->text.back() == ' ') link->text.pop_back();
    if (!link->href.empty()) page.links.push_back(std::move(*link));
    link.reset();
  };
  size_t i = 0;
  while (i < s.size()) {
    if (s[i] != '<') {
      size_t end = s.find('<', i + 1);
      if (end == std::string_view::npos) end = s.size();
      std::string text = decodeEntities(s.substr(i, end - i));
      appendCollapsed(current, text);
      if (link) appendCollapsed(link->text, text);
      i = end;
      continue;
    }
    if (s.substr(i, 4) == "<!--") {
      size_t end = s.find("-->", i + 4);
      i = end == std::string_view::npos ? s.size() : end + 3;
      continue;
    }
    bool closing = i + 1 < s.size() && s[i + 1] == '/';
    size_t nameAt = i + 1 + (closing ? 1 : 0);
    if (nameAt >= s.size() || !isLetter(s[nameAt])) {
      bool markup = i + 1 < s.size() && (s[i + 1] == '!' || s[i + 1] == '?' || closing);
      if (markup) {
        i = pastTagEnd(s, i);  // a declaration, processing instruction or stray "</"
      } else {
        appendCollapsed(current, "<");
        ++i;
      }
      continue;
    }
    Tag tag = readTag(s, i);
    i = tag.end;
    if (tag.closing) {
      if (tag.name == "a") finishLink();
      else if (isBlock(tag.name)) flush();
      continue;
    }
    if (tag.name == "script" || tag.name == "style" || tag.name == "noscript" || tag.name == "template" ||
        tag.name == "title") {
      size_t close = findClosing(s, i, tag.name);
      size_t contentEnd = close == std::string_view::npos ? s.size() : close;
      if (tag.name == "title" && page.title.empty()) page.title = collapsed(s.substr(i, contentEnd - i));
      i = close == std::string_view::npos ? s.size() : pastTagEnd(s, close);
      continue;
    }
    if (tag.name == "a") {
      finishLink();
      link = WebPageLink{tag.attribute("href"), tag.attribute("target"), {}};
    } else if (tag.name == "img") {
      if (std::string alt = tag.attribute("alt"); !alt.empty()) {
        appendCollapsed(current, " " + alt + " ");
        if (link) appendCollapsed(link->text, alt);
      }
    } else if (isBlock(tag.name)) {
      flush();
    }
  }
  finishLink();
  flush();
  return page;
}

std::string WebPageSummary::text() const {
  std::string out;
  for (auto& p : paragraphs) out += (out.empty() ? "" : " ") + p;
  return out;
}
