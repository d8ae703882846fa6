#pragma once
// Brings two HTML fragments to a form in which layout choices no longer count, for
// comparing our output with another implementation's: numeric character references
// decoded (so the random e-mail obfuscation cancels out), blank runs made one blank,
// no blanks beside block tags and comments, and every tag rewritten with its
// attributes sorted, double-quoted and the self-closing slash spelled one way.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "markdown/MDCharacterSet.h"

namespace markdowntest {

inline bool isBlankByte(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

inline std::string decodeNumericReferences(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 2 < text.size() && text[i + 1] == '#') {
      bool hex = text[i + 2] == 'x' || text[i + 2] == 'X';
      size_t digits = i + (hex ? 3 : 2);
      size_t end = digits;
      while (end < text.size() && (hex ? std::isxdigit(static_cast<unsigned char>(text[end]))
                                       : std::isdigit(static_cast<unsigned char>(text[end]))))
        ++end;
      if (end > digits && end < text.size() && text[end] == ';' && end - digits < 8) {
        unsigned long value = std::strtoul(std::string(text.substr(digits, end - digits)).c_str(), nullptr, hex ? 16 : 10);
        markdown::utf8::append(out, static_cast<char32_t>(value));
        i = end;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

inline bool isBlockTagName(std::string_view name) {
  static const char* const names[] = {"p",  "div", "h1", "h2",    "h3",    "h4",    "h5", "h6",       "blockquote",
                                      "pre", "table", "thead", "tbody", "tr", "th", "td", "dl",
                                      "ol", "ul", "li", "hr", "form", "fieldset", "iframe", "math", "script", "noscript"};
  for (const char* n : names)
    if (name == n) return true;
  return false;
}

struct HTMLPiece {
  std::string text;
  bool markup = false;
  bool block = false;
};

// A tag from `<` to its `>` (quotes respected), rewritten; nothing when it is no tag.
inline bool readTag(std::string_view html, size_t& i, HTMLPiece& piece) {
  size_t j = i + 1;
  bool closing = j < html.size() && html[j] == '/';
  if (closing) ++j;
  size_t nameStart = j;
  while (j < html.size() && (std::isalnum(static_cast<unsigned char>(html[j])) || html[j] == ':' || html[j] == '-')) ++j;
  if (j == nameStart) return false;
  std::string name(html.substr(nameStart, j - nameStart));
  std::vector<std::pair<std::string, std::string>> attributes;
  bool selfClosing = false;
  while (true) {
    while (j < html.size() && isBlankByte(html[j])) ++j;
    if (j >= html.size()) return false;
    if (html[j] == '>') break;
    if (html[j] == '/') {
      selfClosing = true;
      ++j;
      continue;
    }
    size_t a = j;
    while (j < html.size() && !isBlankByte(html[j]) && html[j] != '=' && html[j] != '>' && html[j] != '/') ++j;
    if (j == a) return false;
    std::string attribute(html.substr(a, j - a)), value;
    while (j < html.size() && isBlankByte(html[j])) ++j;
    if (j < html.size() && html[j] == '=') {
      ++j;
      while (j < html.size() && isBlankByte(html[j])) ++j;
      if (j < html.size() && (html[j] == '"' || html[j] == '\'')) {
        size_t close = html.find(html[j], j + 1);
        if (close == std::string_view::npos) return false;
        value = html.substr(j + 1, close - j - 1);
        j = close + 1;
      } else {
        size_t v = j;
        while (j < html.size() && !isBlankByte(html[j]) && html[j] != '>') ++j;
        value = html.substr(v, j - v);
      }
    }
    attributes.emplace_back(std::move(attribute), std::move(value));
  }
  std::sort(attributes.begin(), attributes.end());
  piece.text = closing ? "</" + name : "<" + name;
  for (const auto& [attribute, value] : attributes) piece.text += " " + attribute + "=\"" + value + "\"";
  piece.text += selfClosing ? " />" : ">";
  piece.markup = true;
  piece.block = isBlockTagName(name);
  i = j + 1;
  return true;
}

inline std::string normalisedHTML(std::string_view fragment) {
  const std::string html = decodeNumericReferences(fragment);
  std::vector<HTMLPiece> pieces;
  auto addText = [&](char c) {
    if (pieces.empty() || pieces.back().markup) pieces.push_back({});
    if (isBlankByte(c)) {
      if (pieces.back().text.empty() || pieces.back().text.back() != ' ') pieces.back().text += ' ';
    } else {
      pieces.back().text += c;
    }
  };
  for (size_t i = 0; i < html.size();) {
    if (html.compare(i, 4, "<!--") == 0) {
      size_t end = html.find("-->", i + 4);
      end = end == std::string::npos ? html.size() : end + 3;
      pieces.push_back({html.substr(i, end - i), true, true});
      i = end;
      continue;
    }
    HTMLPiece tag;
    if (html[i] == '<' && readTag(html, i, tag)) {
      pieces.push_back(std::move(tag));
      continue;
    }
    addText(html[i++]);
  }
  std::string out;
  for (size_t k = 0; k < pieces.size(); ++k) {
    std::string text = pieces[k].text;
    if (!pieces[k].markup) {
      if ((k == 0 || pieces[k - 1].block) && !text.empty() && text.front() == ' ') text.erase(0, 1);
      if ((k + 1 == pieces.size() || pieces[k + 1].block) && !text.empty() && text.back() == ' ') text.pop_back();
    }
    out += text;
  }
  return out;
}

}  // namespace markdowntest
