#include "html/HTMLSerialization.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <vector>

#include "html/HTMLComment.h"
#include "html/HTMLDocumentType.h"
#include "html/HTMLElement.h"
#include "html/HTMLTextNode.h"

namespace html::HTMLSerialization {

namespace {

bool isVoidElementName(StringView name) {
  static const StringView kVoid[] = {u"area",  u"base",   u"basefont", u"bgsound", u"br",
                                     u"col",   u"embed",  u"frame",    u"hr",      u"img",
                                     u"input", u"keygen", u"link",     u"menuitem", u"meta",
                                     u"param", u"source", u"track",    u"wbr"};
  for (StringView v : kVoid) {
    if (v == name) return true;
  }
  return false;
}

// Text below these is written as it is.
bool isRawTextParentName(StringView name) {
  static const StringView kRaw[] = {u"style",    u"script",   u"xmp",       u"iframe",
                                    u"noembed",  u"noframes", u"plaintext", u"noscript"};
  for (StringView r : kRaw) {
    if (r == name) return true;
  }
  return false;
}

void appendStartTag(String& out, const HTMLElement& element) {
  out += u'<';
  out += element.tagName();
  for (const auto& [name, value] : element.attributes()) {
    out += u' ';
    out += name == u"xmlns:xmlns" ? StringView(u"xmlns") : StringView(name);
    out += u"=\"";
    appendEscapedAttributeValue(out, value);
    out += u'"';
  }
  out += u'>';
}

// Writes one node's opening part (or all of a leaf); tells whether its children and
// end tag follow.
bool appendOpening(String& out, const HTMLNode& node) {
  switch (node.kind()) {
    case HTMLNode::Kind::Element: {
      const auto& element = static_cast<const HTMLElement&>(node);
      appendStartTag(out, element);
      if (isVoidElementName(element.tagName())) return false;
      const String& name = element.tagName();
      if ((name == u"pre" || name == u"textarea" || name == u"listing") && element.numberOfChildren() > 0) {
        const HTMLNode& first = *element.childAtIndex(0);
        if (first.kind() == HTMLNode::Kind::Text) {
          const String& data = static_cast<const HTMLTextNode&>(first).data();
          if (!data.empty() && data[0] == u'\n') out += u'\n';
        }
      }
      return true;
    }
    case HTMLNode::Kind::Text: {
      const String& data = static_cast<const HTMLTextNode&>(node).data();
      const HTMLElement* parent = node.parentElement();
      if (parent && isRawTextParentName(parent->tagName())) {
        out += data;
      } else {
        appendEscapedText(out, data);
      }
      return false;
    }
    case HTMLNode::Kind::Comment:
      out += u"<!--";
      out += static_cast<const HTMLComment&>(node).data();
      out += u"-->";
      return false;
    case HTMLNode::Kind::DocumentType:
      out += u"<!DOCTYPE ";
      out += static_cast<const HTMLDocumentType&>(node).name();
      out += u'>';
      return false;
    case HTMLNode::Kind::Document:
      return true;
    case HTMLNode::Kind::Node:
      break;
  }
  throw std::logic_error(std::string("-[") + node.className() + " serializedFragment]: unrecognized selector");
}

void appendClosing(String& out, const HTMLNode& node) {
  if (node.kind() != HTMLNode::Kind::Element) return;
  out += u"</";
  out += static_cast<const HTMLElement&>(node).tagName();
  out += u'>';
}

// Writes the children of `root` (and `root` itself when asked) without recursion.
void appendSubtree(String& out, const HTMLNode& root, bool includeRoot) {
  struct Frame {
    const HTMLNode* node;
    size_t nextChild;
  };
  std::vector<Frame> stack;
  if (includeRoot) {
    if (!appendOpening(out, root)) return;
  }
  stack.push_back({&root, 0});
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.nextChild < top.node->numberOfChildren()) {
      const HTMLNode& child = *top.node->childAtIndex(top.nextChild++);
      if (appendOpening(out, child)) stack.push_back({&child, 0});
      continue;
    }
    const HTMLNode* done = top.node;
    stack.pop_back();
    if (done != &root || includeRoot) appendClosing(out, *done);
  }
}

String identity(const HTMLNode& node) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%p", static_cast<const void*>(&node));
  return fromUTF8(buffer);
}

// Data of 38 units or more shows its first 37 and an ellipsis.
String truncated(const String& data) {
  if (data.size() < 38) return data;
  return data.substr(0, 37) + u"\u2026";
}

String opening(const HTMLNode& node) {
  return u"<" + fromUTF8(node.className()) + u": " + identity(node);
}

}  // namespace

void appendEscapedText(String& out, StringView text) {
  for (char16_t c : text) {
    switch (c) {
      case u'&': out += u"&amp;"; break;
      case u'\u00A0': out += u"&nbsp;"; break;
      case u'<': out += u"&lt;"; break;
      case u'>': out += u"&gt;"; break;
      default: out += c;
    }
  }
}

void appendEscapedAttributeValue(String& out, StringView value) {
  for (char16_t c : value) {
    switch (c) {
      case u'&': out += u"&amp;"; break;
      case u'\u00A0': out += u"&nbsp;"; break;
      case u'"': out += u"&quot;"; break;
      default: out += c;
    }
  }
}

String serializedFragment(const HTMLNode& node) {
  String out;
  appendSubtree(out, node, true);
  return out;
}

String innerHTML(const HTMLNode& node) {
  String out;
  appendSubtree(out, node, false);
  return out;
}

String description(const HTMLNode& node) {
  String out = opening(node);
  switch (node.kind()) {
    case HTMLNode::Kind::Element: {
      const auto& element = static_cast<const HTMLElement&>(node);
      out += u" <";
      if (element.htmlNamespace() == HTMLNamespace::MathML) out += u"math ";
      if (element.htmlNamespace() == HTMLNamespace::SVG) out += u"svg ";
      out += element.tagName();
      for (const auto& [name, value] : element.attributes()) {
        out += u' ';
        out += name;
        out += u"=\"";
        out += value;
        out += u'"';
      }
      size_t count = element.numberOfChildren();
      out += u"> " + fromUTF8(std::to_string(count)) + u" child";
      if (count != 1) out += u"ren";
      out += u'>';
      return out;
    }
    case HTMLNode::Kind::Text:
      return out + u" '" + truncated(static_cast<const HTMLTextNode&>(node).data()) + u"'>";
    case HTMLNode::Kind::Comment:
      return out + u" <!-- " + truncated(static_cast<const HTMLComment&>(node).data()) + u" --> >";
    case HTMLNode::Kind::DocumentType: {
      const auto& doctype = static_cast<const HTMLDocumentType&>(node);
      out += u" <!DOCTYPE";
      if (!doctype.name().empty()) out += u" " + doctype.name();
      if (!doctype.publicIdentifier().empty() || !doctype.systemIdentifier().empty()) {
        out += u" \"" + doctype.publicIdentifier() + u"\" \"" + doctype.systemIdentifier() + u"\"";
      }
      return out + u"> >";
    }
    case HTMLNode::Kind::Document:
    case HTMLNode::Kind::Node:
      break;
  }
  return out + u">";
}

constexpr size_t kIndentedLevels = 32;

String recursiveDescription(const HTMLNode& node) {
  String out;
  struct Frame {
    const HTMLNode* node;
    size_t depth;
  };
  std::vector<Frame> pending{{&node, 0}};
  while (!pending.empty()) {
    Frame frame = pending.back();
    pending.pop_back();
    if (frame.depth > 0) {
      // Four spaces a level, up to a limit: past it the line names its depth, so a deep
      // tree's dump grows with its number of nodes, not with the square of its depth.
      out += u"\n|";
      out.append(4 * std::min(frame.depth, kIndentedLevels), u' ');
      if (frame.depth > kIndentedLevels) out += u"(" + fromUTF8(std::to_string(frame.depth)) + u") ";
    }
    out += description(*frame.node);
    for (size_t i = frame.node->numberOfChildren(); i-- > 0;) {
      pending.push_back({frame.node->childAtIndex(i).get(), frame.depth + 1});
    }
  }
  return out;
}

}  // namespace html::HTMLSerialization
