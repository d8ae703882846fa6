#include "richtext/NSAttributedStringHTML.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "html/HTMLDocument.h"
#include "html/HTMLElement.h"
#include "html/HTMLTextNode.h"
#include "markdown/NSStringURLsFromString.h"
#include "richtext/CSSDeclarations.h"

using namespace html;

namespace NSAttributedStringHTML {

namespace {

// What an element hands its contents: the face, the colour, the link and the way text
// is laid out.
struct Style {
  double size = 12;  // the reader's default face is 12 points, as the platform's
  double weight = UIFontWeightRegular;
  bool italic = false;
  bool monospace = false;
  std::string family;  // empty for the system's face
  std::optional<UIColor> color;
  std::optional<std::string> link;
  bool underline = false;
  bool preformatted = false;
  bool bold() const { return weight >= UIFontWeightSemibold; }

  NSTextAttributes attributes() const {
    NSTextAttributes a;
    UIFont face = monospace ? UIFont::fontWithName("Menlo", size)
                  : family.empty() ? UIFont::systemFontOfSize(size)
                                   : UIFont::fontWithName(family, size);
    a.font = face.fontWithWeight(weight, italic);
    a.foregroundColor = color;
    a.link = link;
    if (underline || link) a.underlineStyle = NSUnderlineStyleSingle;
    return a;
  }
};

// A list being read: numbered or not, and how many items it has had.
struct List {
  bool ordered = false;
  long next = 1;
};

bool isBlock(TagId tag) {
  switch (tag) {
    case TagId::Address: case TagId::Article: case TagId::Aside: case TagId::Blockquote:
    case TagId::Caption: case TagId::Center: case TagId::Dd: case TagId::Details: case TagId::Dialog:
    case TagId::Dir: case TagId::Div: case TagId::Dl: case TagId::Dt: case TagId::Fieldset:
    case TagId::Figcaption: case TagId::Figure: case TagId::Footer: case TagId::Form: case TagId::H1:
    case TagId::H2: case TagId::H3: case TagId::H4: case TagId::H5: case TagId::H6: case TagId::Header:
    case TagId::Hgroup: case TagId::Hr: case TagId::Li: case TagId::Listing: case TagId::Main:
    case TagId::Menu: case TagId::Nav: case TagId::Ol: case TagId::P: case TagId::Plaintext: case TagId::Pre:
    case TagId::Section: case TagId::Summary: case TagId::Table: case TagId::Tr: case TagId::Ul: case TagId::Xmp:
      return true;
    default:
      return false;
  }
}

// Elements whose contents are no text of the page.
bool isHidden(TagId tag) {
  switch (tag) {
    case TagId::Head: case TagId::Script: case TagId::Style: case TagId::Title: case TagId::Template:
      return true;
    default:
      return false;
  }
}

double headingScale(TagId tag) {
  switch (tag) {
    case TagId::H1: return 2.0;
    case TagId::H2: return 1.5;
    case TagId::H3: return 1.17;
    case TagId::H4: return 1.0;
    case TagId::H5: return 0.83;
    case TagId::H6: return 0.67;
    default: return 0;
  }
}

const String* attribute(const HTMLElement& element, StringView name) { return element.objectForKeyedSubscript(name); }

// The text and its attributes as they are written, one run at a time.
class Reader {
 public:
  NSAttributedString read(const HTMLDocument& document) {
    walk(document);
    flush();
    return std::move(out_);
  }

 private:
  struct Frame {
    const HTMLNode* node;
    size_t nextChild = 0;
    Style style;
    bool list = false;  // the frame opened a list
  };

  void walk(const HTMLDocument& document) {
    std::vector<Frame> stack;
    stack.push_back({&document, 0, Style{}, false});
    while (!stack.empty()) {
      Frame& frame = stack.back();
      if (frame.nextChild == frame.node->numberOfChildren()) {
        leave(frame);
        stack.pop_back();
        continue;
      }
      const HTMLNode* child = frame.node->childAtIndex(frame.nextChild++).get();
      Style style = frame.style;
      if (child->kind() == HTMLNode::Kind::Text) {
        text(static_cast<const HTMLTextNode&>(*child).data(), style);
      } else if (child->isElement()) {
        const auto& element = static_cast<const HTMLElement&>(*child);
        if (isHidden(element.tagId())) continue;
        bool list = enter(element, style);
        stack.push_back({child, 0, std::move(style), list});
      }
    }
  }

  // Opens an element: its style, and what it puts before its contents.
  bool enter(const HTMLElement& element, Style& style) {
    const TagId tag = element.tagId();
    switch (tag) {
      case TagId::B: case TagId::Strong: case TagId::Th: style.weight = UIFontWeightBold; break;
      case TagId::I: case TagId::Em: case TagId::Var: style.italic = true; break;
      case TagId::U: style.underline = true; break;
      case TagId::Code: case TagId::Tt: style.monospace = true; break;
      case TagId::Pre: case TagId::Listing: case TagId::Xmp: case TagId::Plaintext:
        style.monospace = true;
        style.preformatted = true;
        break;
      case TagId::Small: case TagId::Sub: case TagId::Sup: style.size *= 0.83; break;
      case TagId::Big: style.size *= 1.2; break;
      case TagId::A:
        if (const String* href = attribute(element, u"href")) style.link = toUTF8(*href);
        break;
      default:
        if (double scale = headingScale(tag)) {
          style.size *= scale;
          style.weight = UIFontWeightBold;
        }
    }
    if (const String* declarations = attribute(element, u"style")) applyDeclarations(toUTF8(*declarations), style);

    if (isBlock(tag)) lineStart(style);
    switch (tag) {
      case TagId::Br:
        // A break ends the line even where it is empty.
        put("\n", style);
        atLineStart_ = true;
        canSpace_ = pendingSpace_ = false;
        return false;
      case TagId::Ul: case TagId::Ol: case TagId::Dir: case TagId::Menu: {
        List list{tag == TagId::Ol, 1};
        if (const String* start = attribute(element, u"start"); start && list.ordered)
          list.next = std::strtol(toUTF8(*start).c_str(), nullptr, 10);
        lists_.push_back(list);
        return true;
      }
      case TagId::Li: {
        std::string marker = "•";
        if (!lists_.empty() && lists_.back().ordered) marker = std::to_string(lists_.back().next++) + ".";
        size_t depth = std::max<size_t>(lists_.size(), 1);
        put(std::string(2 * (depth - 1), ' ') + marker + " ", style);
        atLineStart_ = canSpace_ = pendingSpace_ = false;
        return false;
      }
      case TagId::Td: case TagId::Th:
        if (!atLineStart_) {
          put("\t", style);
          canSpace_ = pendingSpace_ = false;
        }
        return false;
      default:
        return false;
    }
  }

  // Closes an element: a block ends its line.
  void leave(const Frame& frame) {
    if (frame.list) lists_.pop_back();
    if (!frame.node->isElement()) return;
    if (isBlock(static_cast<const HTMLElement&>(*frame.node).tagId())) lineStart(frame.style);
  }

  // Ends the line unless it is empty; the space waiting at its end is dropped.
  void lineStart(const Style& style) {
    pendingSpace_ = canSpace_ = false;
    if (atLineStart_) return;
    put("\n", style);
    atLineStart_ = true;
  }

  void text(const String& data, const Style& style) {
    if (style.preformatted) {
      if (data.empty()) return;
      put(toUTF8(data), style);
      atLineStart_ = data.back() == u'\n';
      canSpace_ = pendingSpace_ = false;
      return;
    }
    size_t i = 0;
    while (i < data.size()) {
      if (isHTMLWhitespace(data[i])) {
        if (canSpace_ && !pendingSpace_) {
          pendingSpace_ = true;
          spaceStyle_ = style;
        }
        ++i;
        continue;
      }
      size_t end = i;
      while (end < data.size() && !isHTMLWhitespace(data[end])) ++end;
      if (pendingSpace_) put(" ", spaceStyle_);
      put(toUTF8(StringView(data).substr(i, end - i)), style);
      atLineStart_ = pendingSpace_ = false;
      canSpace_ = true;
      i = end;
    }
  }

  // Characters of one style join the run being gathered; a new style sends it.
  void put(const std::string& characters, const Style& style) {
    NSTextAttributes attributes = style.attributes();
    if (!run_.empty() && !(attributes == runAttributes_)) flush();
    runAttributes_ = std::move(attributes);
    run_ += characters;
  }

  void flush() {
    if (!run_.empty()) out_.append(run_, runAttributes_);
    run_.clear();
  }

  void applyDeclarations(const std::string& declarations, Style& style) {
    for (const auto& [property, value] : CSSDeclarations::parse(declarations)) {
      if (property == "font-size") {
        if (auto size = CSSDeclarations::length(value, style.size)) style.size = *size;
      } else if (property == "font-weight") {
        if (auto bold = CSSDeclarations::isBold(value)) style.weight = *bold ? UIFontWeightBold : UIFontWeightRegular;
      } else if (property == "font-style") {
        style.italic = value == "italic" || value == "oblique";
      } else if (property == "font-family") {
        std::string family = CSSDeclarations::firstFamily(value);
        style.monospace = family == "monospace" || family == "Menlo" || family == "Courier";
        bool system = family.empty() || family == "-apple-system" || family == "system-ui" || family == "sans-serif";
        style.family = system || style.monospace ? std::string() : family;
      } else if (property == "color") {
        if (auto color = CSSDeclarations::color(value)) style.color = color;
      } else if (property == "text-decoration" || property == "text-decoration-line") {
        style.underline = value.find("underline") != std::string::npos;
      }
    }
  }

  NSAttributedString out_;
  std::string run_;
  NSTextAttributes runAttributes_;
  std::vector<List> lists_;
  bool atLineStart_ = true;
  bool canSpace_ = false;      // a space may follow what was put last
  bool pendingSpace_ = false;  // white space was read since, to be put before the next word
  Style spaceStyle_;
};

}  // namespace

NSAttributedString attributedStringWithHTML(std::string_view utf8) {
  auto document = HTMLDocument::documentWithData(utf8, std::string("text/html; charset=utf-8"));
  return Reader().read(*document);
}

void removeUnderlinesFromAddresses(NSAttributedString& text) {
  auto urls = markdown::NSStringURLsFromString::URLs(text.string());
  if (urls.empty()) return;
  // Each address where it is written, the next one searched for after it.
  std::vector<NSRange> places;
  size_t from = 0;
  for (const URL& url : urls) {
    NSRange place = text.rangeOfString(url.absoluteString(), from);
    if (place.location == NSNotFound) continue;
    places.push_back(place);
    from = place.end();
  }
  if (places.empty()) return;
  // One pass over the runs, however many addresses there are.
  NSAttributedString out;
  const std::u16string& characters = text.utf16();
  auto add = [&](size_t start, size_t end, NSTextAttributes attributes, bool address) {
    if (start >= end) return;
    if (address) {
      attributes.remove(NSAttributeKey::UnderlineColor);
      attributes.remove(NSAttributeKey::UnderlineStyle);
    }
    out.append(toUTF8(std::u16string_view(characters).substr(start, end - start)), attributes);
  };
  size_t next = 0;
  for (const NSTextRun& run : text.runs()) {
    size_t at = run.range.location;
    const size_t end = run.range.end();
    while (at < end) {
      while (next < places.size() && places[next].end() <= at) ++next;
      if (next == places.size() || places[next].location >= end) {
        add(at, end, run.attributes, false);
        break;
      }
      const NSRange& place = places[next];
      add(at, std::max(at, place.location), run.attributes, false);
      size_t stop = std::min(end, place.end());
      add(std::max(at, place.location), stop, run.attributes, true);
      at = stop;
    }
  }
  text = std::move(out);
}

}  // namespace NSAttributedStringHTML
