#include "TreeConstructionDump.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "html/HTMLComment.h"
#include "html/HTMLDocument.h"
#include "html/HTMLParser.h"
#include "html/HTMLTextNode.h"

using namespace html;

namespace treedump {

namespace {

std::string displayedAttributeName(const HTMLElement& element, const String& name) {
  if (element.htmlNamespace() != HTMLNamespace::HTML) {
    static const char* const kNamespaced[] = {"xlink:actuate", "xlink:arcrole", "xlink:href", "xlink:role",
                                              "xlink:show",    "xlink:title",   "xlink:type", "xml:lang",
                                              "xml:space",     "xmlns:xlink"};
    std::string utf8 = toUTF8(name);
    for (const char* namespaced : kNamespaced) {
      if (utf8 == namespaced) return utf8.replace(utf8.find(':'), 1, " ");
    }
    if (utf8 == "xmlns") return "xmlns xmlns";
  }
  return toUTF8(name);
}

void dumpNode(const HTMLNode& node, int depth, std::string& out) {
  std::string indent = "| " + std::string(size_t(depth) * 2, ' ');
  switch (node.kind()) {
    case HTMLNode::Kind::Element: {
      const auto& element = static_cast<const HTMLElement&>(node);
      std::string prefix = element.htmlNamespace() == HTMLNamespace::SVG      ? "svg "
                           : element.htmlNamespace() == HTMLNamespace::MathML ? "math "
                                                                              : "";
      out += indent + "<" + prefix + toUTF8(element.tagName()) + ">\n";
      std::vector<std::pair<std::string, std::string>> attributes;
      for (const auto& [name, value] : element.attributes()) {
        attributes.emplace_back(displayedAttributeName(element, name), toUTF8(value));
      }
      std::sort(attributes.begin(), attributes.end());
      for (const auto& [name, value] : attributes) out += indent + "  " + name + "=\"" + value + "\"\n";
      break;
    }
    case HTMLNode::Kind::Text:
      out += indent + "\"" + toUTF8(static_cast<const HTMLTextNode&>(node).data()) + "\"\n";
      break;
    case HTMLNode::Kind::Comment:
      out += indent + "<!-- " + toUTF8(static_cast<const HTMLComment&>(node).data()) + " -->\n";
      break;
    case HTMLNode::Kind::DocumentType: {
      const auto& doctype = static_cast<const HTMLDocumentType&>(node);
      out += indent + "<!DOCTYPE " + toUTF8(doctype.name());
      if (!doctype.publicIdentifier().empty() || !doctype.systemIdentifier().empty()) {
        out += " \"" + toUTF8(doctype.publicIdentifier()) + "\" \"" + toUTF8(doctype.systemIdentifier()) + "\"";
      }
      out += ">\n";
      break;
    }
    default: break;
  }
  for (const HTMLNodeRef& child : node.children()) dumpNode(*child, depth + 1, out);
}

}  // namespace

std::string dump(const HTMLNode& root) {
  std::string out;
  for (const HTMLNodeRef& child : root.children()) dumpNode(*child, 0, out);
  return out;
}

std::vector<Case> readCases(const std::string& path, const std::string& fileName) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream bytes;
  bytes << file.rdbuf();
  std::string text = bytes.str();

  std::vector<Case> cases;
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  size_t i = 0;
  while (i < lines.size()) {
    if (lines[i] != "#data") {
      ++i;
      continue;
    }
    Case c;
    c.file = fileName;
    c.number = int(cases.size()) + 1;
    std::string section = "#data";
    std::vector<std::string> data, document;
    for (++i; i < lines.size(); ++i) {
      const std::string& line = lines[i];
      if (line == "#data") break;
      if (!line.empty() && line[0] == '#' &&
          (line == "#errors" || line == "#new-errors" || line == "#document-fragment" || line == "#document" ||
           line == "#script-off" || line == "#script-on")) {
        section = line;
        if (line == "#script-off") c.scriptOff = true;
        continue;
      }
      if (section == "#data") data.push_back(line);
      if (section == "#document-fragment" && !line.empty()) c.fragmentContext = line;
      if (section == "#document") document.push_back(line);
    }
    for (size_t k = 0; k < data.size(); ++k) c.data += (k ? "\n" : "") + data[k];
    // The blank line that ends a case is no part of its document.
    while (!document.empty() && document.back().empty()) document.pop_back();
    for (const std::string& line : document) c.expected += line + "\n";
    cases.push_back(c);
  }
  return cases;
}

std::string parseAndDump(const Case& testCase) {
  String input = fromUTF8(testCase.data);
  if (testCase.fragmentContext.empty()) return dump(*HTMLDocument::documentWithString(StringView(input)));
  std::string context = testCase.fragmentContext;
  HTMLNamespace ns = HTMLNamespace::HTML;
  if (context.rfind("svg ", 0) == 0) {
    ns = HTMLNamespace::SVG;
    context = context.substr(4);
  } else if (context.rfind("math ", 0) == 0) {
    ns = HTMLNamespace::MathML;
    context = context.substr(5);
  }
  auto element = std::make_shared<HTMLElement>(fromUTF8(context));
  element->setHtmlNamespace(ns);
  HTMLParser parser(input, HTMLStringEncoding{}, element);
  return dump(*parser.document());
}

}  // namespace treedump
