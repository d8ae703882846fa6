#pragma once
// One node of the Markdown syntax tree. Nothing is copied out of the source: text
// elements and raw HTML are ranges of it. Elements are made by their document (which
// owns them all) and linked into the tree by pointer.
#include <optional>
#include <string>
#include <vector>

#include "markdown/MDRange.h"

namespace markdown {

enum class MDElementType : int {
  None = 0,             // plain text: the source of `range`; an empty range is a line break
  Header = 1,
  Paragraph = 2,
  Blockquote = 3,
  NumberedList = 4,
  BulletedList = 5,
  ListItem = 6,
  CodeBlock = 7,
  HorizontalRule = 8,
  HTML = 9,             // raw HTML: the source of `range`, copied verbatim
  LineBreak = 10,
  Strikethrough = 11,
  Strong = 12,
  Emphasis = 13,
  CodeSpan = 14,
  Image = 15,
  Link = 16,
  Mailto = 17,
  Definition = 18,      // a link definition; writes nothing
  Entity = 19,          // `stringValue` written unchanged
  Table = 20,
  TableHeaderRow = 21,
  TableHeaderCell = 22,
  TableRow = 23,
  TableCell = 24,
};

class MDElement {
 public:
  MDElementType type = MDElementType::None;
  MDRange range;
  std::vector<MDRange> innerRanges;
  int alignment = 0;  // table cells: 0 none, 1 left, 2 center, 3 right
  unsigned level = 0;  // headers
  std::optional<std::string> href;
  std::optional<std::string> title;
  std::optional<std::string> identifier;
  std::optional<std::string> stringValue;  // entities: output; images: alternative text; tags: name
  std::optional<std::string> language;

  MDElement() = default;
  MDElement(const MDElement&) = delete;
  MDElement& operator=(const MDElement&) = delete;
  ~MDElement();

  const std::vector<MDElement*>& children() const { return children_; }
  // Clears the parent of every old child and sets it on every new one.
  void setChildren(std::vector<MDElement*> children);
  MDElement* parent() const { return parent_; }

  void addInnerRange(MDRange range) { innerRanges.push_back(range); }
  void removeLastInnerRange() {
    if (!innerRanges.empty()) innerRanges.pop_back();
  }
  void addChild(MDElement* child);
  // Removes that very element (not an equal one) and clears its parent.
  void removeChild(MDElement* child);
  MDElement* removeLastChild();

  // "<MDElement: 0x...; type=paragraph; range={0, 3}>"
  std::string description() const;
  static const char* typeLabel(MDElementType type);

 private:
  std::vector<MDElement*> children_;
  MDElement* parent_ = nullptr;
};

}  // namespace markdown
