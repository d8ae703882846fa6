#pragma once
// Helpers of the Markdown tests: HTML with a fixed random seed, and a compact text form
// of a syntax tree that a test can compare in one line.
#include <memory>
#include <string>
#include <string_view>

#include "markdown/MDDocument.h"
#include "markdown/MDMarkdown.h"
#include "markdown/MDParser.h"

namespace markdowntest {

inline std::string html(std::string_view markdown, unsigned extensions = 0, uint64_t seed = 1) {
  markdown::MDRandomSource random(seed);
  return markdown::MDMarkdown::HTMLStringWithMarkdown(markdown, extensions, random);
}

// "p["a" nl "b"]": text as quoted source, an empty text as nl, an entity as {value},
// every other element as its label with its fields and children.
inline void dumpElement(const markdown::MDDocument& document, const markdown::MDElement& e, std::string& out) {
  using markdown::MDElementType;
  switch (e.type) {
    case MDElementType::None:
      out += e.range.length == 0 ? "nl" : "\"" + std::string(document.textOf(e.range)) + "\"";
      return;
    case MDElementType::Entity:
      out += "{" + std::string(e.stringValue().value_or("")) + "}";
      return;
    case MDElementType::HTML:
      out += "html<" + std::string(document.textOf(e.range)) + ">";
      return;
    case MDElementType::Header: out += "h" + std::to_string(e.level); break;
    case MDElementType::Paragraph: out += "p"; break;
    case MDElementType::TableHeaderRow: out += "thead"; break;
    case MDElementType::TableHeaderCell: out += "th" + std::to_string(e.alignment); break;
    case MDElementType::TableRow: out += "tr"; break;
    case MDElementType::TableCell: out += "td" + std::to_string(e.alignment); break;
    case MDElementType::Table: out += "table"; break;
    case MDElementType::CodeBlock: out += "pre"; break;
    default: out += markdown::MDElement::typeLabel(e.type); break;
  }
  if (e.href()) out += "(" + std::string(*e.href()) + (e.title() ? "|" + std::string(*e.title()) : "") + ")";
  if (e.identifier() && !e.href()) out += "(id:" + std::string(*e.identifier()) + ")";
  if (e.language()) out += "(" + std::string(*e.language()) + ")";
  if (e.type == MDElementType::Image) out += "(alt:" + std::string(e.stringValue().value_or("")) + ")";
  if (e.children().empty()) return;
  out += "[";
  for (const markdown::MDElement* child : e.children()) {
    if (child != e.children().front()) out += " ";
    dumpElement(document, *child, out);
  }
  out += "]";
}

inline std::string dump(const markdown::MDDocument& document) {
  std::string out;
  for (size_t i = 0; i < document.elements().size(); ++i) {
    if (i > 0) out += " ";
    dumpElement(document, *document.elements()[i], out);
  }
  return out;
}

inline std::string tree(std::string_view markdownText, unsigned extensions = 0) {
  markdown::MDParser parser(extensions);
  return dump(*parser.parseMarkdown(markdownText));
}

}  // namespace markdowntest
