#pragma once
// Nodes back to HTML text, and short debugging descriptions. The node classes answer
// these through their own members; the walks here never recurse, so a document of any
// depth can be written out.
#include "html/HTMLNode.h"

namespace html::HTMLSerialization {

// The node as HTML. A plain HTMLNode has no serialization and throws std::logic_error.
String serializedFragment(const HTMLNode& node);
// The node's children as HTML.
String innerHTML(const HTMLNode& node);
// "<ClassName: 0x... ...>" for one node.
String description(const HTMLNode& node);
// The descriptions of the subtree in pre-order, each deeper level indented by four
// spaces after a "|".
String recursiveDescription(const HTMLNode& node);

// The escapes of text content and of attribute values.
void appendEscapedText(String& out, StringView text);
void appendEscapedAttributeValue(String& out, StringView value);

}  // namespace html::HTMLSerialization
