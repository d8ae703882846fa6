#include "markdown/MDGenerator.h"

#include <charconv>

#include "markdown/MDCharacterSet.h"

namespace markdown {

namespace {

void appendNumber(std::string& out, unsigned value, int base) {
  char buffer[16];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value, base);
  out.append(buffer, result.ptr);
}

// HTMLEscapedString, written straight into the output.
void appendEscaped(std::string& out, std::string_view text) {
  size_t from = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '&' && text[i] != '"') continue;
    out.append(text.data() + from, i - from);
    out += text[i] == '&' ? "&amp;" : "&quot;";
    from = i + 1;
  }
  out.append(text.data() + from, text.size() - from);
}

std::string_view orEmpty(std::optional<std::string_view> value) { return value.value_or(std::string_view()); }

void appendCellOpening(std::string& html, const char* tag, int alignment) {
  html += '<';
  html += tag;
  if (alignment == 1) html += " align='left'";
  if (alignment == 2) html += " align='center'";
  if (alignment == 3) html += " align='right'";
  html += '>';
}

}  // namespace

std::string MDGenerator::generateHTML(const MDDocument& document) {
  std::string html;
  html.reserve(document.markdown().size() + document.markdown().size() / 4);
  for (const MDElement* element : document.elements()) {
    if (element->type == MDElementType::HTML) {
      html += document.textOf(element->range);
    } else {
      generateElement(*element, document, html);
    }
  }
  return html;
}

void MDGenerator::generateElement(const MDElement& element, const MDDocument& document, std::string& html) {
  using T = MDElementType;
  switch (element.type) {
    case T::Header:
      html += "<h";
      appendNumber(html, element.level, 10);
      html += '>';
      break;
    case T::Paragraph: html += "<p>"; break;
    case T::Blockquote: html += "<blockquote>\n"; break;
    case T::NumberedList: html += "<ol>\n"; break;
    case T::BulletedList: html += "<ul>\n"; break;
    case T::ListItem: html += "<li>"; break;
    case T::CodeBlock:
      if (element.language()) {
        html += "<pre><code class=\"";
        html += *element.language();
        html += "\">";
      } else {
        html += "<pre><code>";
      }
      break;
    case T::HorizontalRule: html += "\n<hr />\n"; break;
    case T::LineBreak: html += "<br />"; break;
    case T::Strikethrough: html += "<del>"; break;
    case T::Strong: html += "<strong>"; break;
    case T::Emphasis: html += "<em>"; break;
    case T::CodeSpan: html += "<code>"; break;
    case T::Image:
      html += "<img src=\"";
      appendEscaped(html, orEmpty(element.href()));
      html += "\" alt=\"";
      appendEscaped(html, element.stringValue().value_or(""));
      if (element.title()) {
        html += "\" title=\"";
        appendEscaped(html, *element.title());
      }
      html += "\" />";
      break;
    case T::Link:
      if (element.title()) {
        html += "<a title=\"";
        appendEscaped(html, *element.title());
        html += "\" href=\"";
      } else {
        html += "<a href=\"";
      }
      appendEscaped(html, orEmpty(element.href()));
      html += "\">";
      break;
    case T::Mailto: {
      const std::string_view address = orEmpty(element.href());
      html += "<a href=\"";
      html += obfuscatedEmailAddress("mailto:" + std::string(address));
      html += "\">";
      html += obfuscatedEmailAddress(address);
      html += "</a>";
      break;
    }
    case T::Entity: html += element.stringValue().value_or(""); break;
    case T::Table: html += "<table>"; break;
    case T::TableHeaderRow: html += "<thead><tr>"; break;
    case T::TableHeaderCell: appendCellOpening(html, "th", element.alignment); break;
    case T::TableRow: html += "<tr>"; break;
    case T::TableCell: appendCellOpening(html, "td", element.alignment); break;
    default: break;
  }

  for (const MDElement* child : element.children()) {
    if (child->type == T::None) {
      if (child->range.length == 0) {
        html += '\n';
      } else {
        html += document.textOf(child->range);
      }
    } else if (child->type == T::HTML) {
      html += document.textOf(child->range);
    } else {
      generateElement(*child, document, html);
    }
  }

  switch (element.type) {
    case T::Header:
      html += "</h";
      appendNumber(html, element.level, 10);
      html += ">\n";
      break;
    case T::Paragraph: html += "</p>\n"; break;
    case T::Blockquote: html += "</blockquote>\n"; break;
    case T::NumberedList: html += "</ol>\n"; break;
    case T::BulletedList: html += "</ul>\n"; break;
    case T::ListItem: html += "</li>\n"; break;
    case T::CodeBlock: html += "</code></pre>\n"; break;
    case T::Strikethrough: html += "</del>"; break;
    case T::Strong: html += "</strong>"; break;
    case T::Emphasis: html += "</em>"; break;
    case T::CodeSpan: html += "</code>"; break;
    case T::Link: html += "</a>"; break;
    case T::Table: html += "</tbody></table>"; break;
    case T::TableHeaderRow: html += "</tr></thead><tbody>"; break;
    case T::TableHeaderCell: html += "</th>"; break;
    case T::TableRow: html += "</tr>"; break;
    case T::TableCell: html += "</td>"; break;
    default: break;
  }
}

std::string MDGenerator::HTMLEscapedString(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  appendEscaped(out, text);
  return out;
}

std::string MDGenerator::obfuscatedEmailAddress(std::string_view address) {
  std::string out;
  for (size_t i = 0; i < address.size();) {
    size_t length = 0;
    char32_t c = utf8::decode(address, i, &length);
    const uint32_t form = c == '@' ? random().uniform(2) * 45 : random().uniform(100);
    if (form < 45) {
      out += "&#";
      appendNumber(out, static_cast<unsigned>(c), 10);
      out += ';';
    } else if (form < 90) {
      out += "&#x";
      appendNumber(out, static_cast<unsigned>(c), 16);
      out += ';';
    } else {
      out.append(address.substr(i, length));
    }
    i += length;
  }
  return out;
}

MDRandomSource& MDGenerator::random() {
  if (!random_) random_ = &ownRandom_.emplace(MDRandomSource::fromEntropy());
  return *random_;
}

}  // namespace markdown
