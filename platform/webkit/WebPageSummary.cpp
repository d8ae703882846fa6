#include "webkit/WebPageSummary.h"

#include <map>
#include <optional>
#include <set>
#include <utility>

#include "html/HTMLDocument.h"
#include "html/HTMLElement.h"
#include "html/HTMLString.h"
#include "html/HTMLTextNode.h"

namespace {
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

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

void trimEnd(std::string& text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
}

std::string lowerASCII(std::string s) {
  for (char& c : s) c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
  return s;
}

bool isOneOf(const std::string& name, std::initializer_list<const char*> names) {
  for (const char* n : names)
    if (name == n) return true;
  return false;
}

bool isBlock(const std::string& name) {
  return isOneOf(name, {"p", "div", "br", "li", "ul", "ol", "h1", "h2", "h3", "h4", "h5", "h6", "tr", "table",
                        "section", "article", "header", "footer", "nav", "hr", "dd", "dt", "form", "fieldset", "main",
                        "aside", "figure", "blockquote", "pre", "body", "label", "button", "select", "textarea"});
}

// Elements whose content a person does not read as the page's text.
bool isUnread(const std::string& name) {
  return isOneOf(name, {"script", "style", "noscript", "template", "title", "option", "textarea"});
}

struct Reader {
  explicit Reader(WebPageSummary& page) : page(page) {}

  WebPageSummary& page;
  std::string paragraph;
  std::optional<WebPageLink> link;
  std::optional<size_t> form;  // index in page.forms while inside one
  std::set<std::string> seenResources;
  // Labels: their text by element, and the label each field sits in or names.
  std::map<const html::HTMLElement*, std::string> labelTexts;
  std::vector<const html::HTMLElement*> openLabels;
  std::map<std::string, const html::HTMLElement*> labelForId;
  struct PendingLabel {
    size_t form, field;
    std::string id;
    const html::HTMLElement* enclosing;
  };
  std::vector<PendingLabel> pendingLabels;

  static std::string attribute(const html::HTMLElement& e, std::u16string_view name) {
    const html::String* value = e.objectForKeyedSubscript(name);
    return value ? html::toUTF8(*value) : std::string();
  }
  static bool hasAttribute(const html::HTMLElement& e, std::u16string_view name) {
    return e.objectForKeyedSubscript(name) != nullptr;
  }

  void flush() {
    trimEnd(paragraph);
    if (!paragraph.empty()) page.paragraphs.push_back(std::move(paragraph));
    paragraph.clear();
  }
  void finishLink() {
    if (!link) return;
    trimEnd(link->text);
    if (!link->href.empty()) page.links.push_back(std::move(*link));
    link.reset();
  }
  void text(const std::string& text) {
    appendCollapsed(paragraph, text);
    if (link) appendCollapsed(link->text, text);
    for (auto* label : openLabels) appendCollapsed(labelTexts[label], text);
  }
  void resource(const std::string& address) {
    if (address.empty() || !seenResources.insert(address).second) return;
    page.subresources.push_back(address);
  }

  void addField(const html::HTMLElement& e, WebPageFormField field) {
    if (!form) return;  // a control outside any form sends nothing
    if (field.label.empty()) field.label = attribute(e, u"placeholder");
    if (field.label.empty()) field.label = attribute(e, u"aria-label");
    if (field.label.empty()) field.label = attribute(e, u"title");
    auto& fields = page.forms[*form].fields;
    pendingLabels.push_back({*form, fields.size(), attribute(e, u"id"), openLabels.empty() ? nullptr : openLabels.back()});
    fields.push_back(std::move(field));
  }

  void input(const html::HTMLElement& e) {
    std::string type = lowerASCII(attribute(e, u"type"));
    WebPageFormField field;
    field.name = attribute(e, u"name");
    field.value = attribute(e, u"value");
    if (type == "password") field.kind = WebPageFormField::Kind::Password;
    else if (type == "hidden") field.kind = WebPageFormField::Kind::Hidden;
    else if (type == "checkbox" || type == "radio") {
      field.kind = WebPageFormField::Kind::Choice;
      field.checked = hasAttribute(e, u"checked");
      if (!hasAttribute(e, u"value")) field.value = "on";
    } else if (type == "submit" || type == "image") {
      field.kind = WebPageFormField::Kind::Submit;
      field.label = field.value.empty() ? "Submit" : field.value;
    } else if (isOneOf(type, {"button", "reset", "file"})) {
      field.kind = WebPageFormField::Kind::Other;
    }
    addField(e, std::move(field));
  }

  void enter(const html::HTMLElement& e, const std::string& name) {
    if (name == "a") {
      finishLink();
      link = WebPageLink{attribute(e, u"href"), attribute(e, u"target"), {}};
    } else if (name == "img") {
      resource(attribute(e, u"src"));
      if (std::string alt = attribute(e, u"alt"); !alt.empty()) text(" " + alt + " ");
    } else if (name == "script" || name == "iframe") {
      resource(attribute(e, u"src"));
    } else if (name == "link") {
      if (lowerASCII(attribute(e, u"rel")).find("stylesheet") != std::string::npos) resource(attribute(e, u"href"));
    } else if (name == "form") {
      std::string method = lowerASCII(attribute(e, u"method"));
      page.forms.push_back({attribute(e, u"action"), method == "post" ? "post" : "get", {}});
      form = page.forms.size() - 1;
    } else if (name == "label") {
      openLabels.push_back(&e);
      labelTexts[&e];
      if (std::string target = attribute(e, u"for"); !target.empty() && !labelForId.count(target))
        labelForId[target] = &e;
    } else if (name == "input") {
      input(e);
    } else if (name == "textarea") {
      addField(e, {WebPageFormField::Kind::Text, attribute(e, u"name"), html::toUTF8(e.textContent()), {}, false});
    } else if (name == "select") {
      WebPageFormField field{WebPageFormField::Kind::Hidden, attribute(e, u"name"), {}, {}, false};
      // The option a person would see chosen: the first selected one, else the first.
      auto options = e.nodesMatchingSelector(std::string_view("option"));
      const html::HTMLElement* chosen = options.empty() ? nullptr : options.front().get();
      for (const auto& option : options)
        if (hasAttribute(*option, u"selected")) {
          chosen = option.get();
          break;
        }
      if (chosen)
        field.value = hasAttribute(*chosen, u"value") ? attribute(*chosen, u"value") : html::toUTF8(chosen->textContent());
      addField(e, std::move(field));
    } else if (name == "button") {
      std::string type = lowerASCII(attribute(e, u"type"));
      WebPageFormField field{type.empty() || type == "submit" ? WebPageFormField::Kind::Submit : WebPageFormField::Kind::Other,
                             attribute(e, u"name"), attribute(e, u"value"), {}, false};
      std::string caption;
      appendCollapsed(caption, html::toUTF8(e.textContent()));
      trimEnd(caption);
      field.label = caption.empty() ? "Submit" : caption;
      addField(e, std::move(field));
    }
    if (isBlock(name)) flush();
  }

  void leave(const html::HTMLElement& e, const std::string& name) {
    if (name == "a") finishLink();
    else if (name == "form") form.reset();
    else if (name == "label" && !openLabels.empty() && openLabels.back() == &e) openLabels.pop_back();
    if (isBlock(name)) flush();
  }

  void resolveLabels() {
    for (const auto& pending : pendingLabels) {
      auto& field = page.forms[pending.form].fields[pending.field];
      const html::HTMLElement* label = pending.enclosing;
      if (!pending.id.empty())
        if (auto it = labelForId.find(pending.id); it != labelForId.end()) label = it->second;
      std::string caption = label ? labelTexts[label] : std::string();
      trimEnd(caption);
      if (!caption.empty() && field.kind != WebPageFormField::Kind::Submit) field.label = caption;
      if (field.label.empty()) field.label = field.name;
    }
  }
};
}  // namespace

WebPageSummary WebPageSummary::scan(std::string_view s) {
  WebPageSummary page;
  auto document = html::HTMLDocument::documentWithString(s);
  if (!document) return page;
  Reader reader(page);
  // A walk that sees every element's end as well as its start, without recursion: a page
  // may nest as deep as it likes.
  struct Step {
    const html::HTMLNode* node;
    size_t next = 0;
    std::string name;
  };
  std::vector<Step> stack{{document.get(), 0, {}}};
  while (!stack.empty()) {
    Step& top = stack.back();
    if (top.next >= top.node->numberOfChildren()) {
      if (top.node->isElement()) reader.leave(static_cast<const html::HTMLElement&>(*top.node), top.name);
      stack.pop_back();
      continue;
    }
    const html::HTMLNode* child = top.node->childAtIndex(top.next++).get();
    if (child->kind() == html::HTMLNode::Kind::Text) {
      reader.text(html::toUTF8(static_cast<const html::HTMLTextNode*>(child)->data()));
      continue;
    }
    if (!child->isElement()) continue;
    const auto& element = static_cast<const html::HTMLElement&>(*child);
    std::string name = element.htmlNamespace() == html::HTMLNamespace::HTML ? html::toUTF8(element.tagName()) : "";
    if (name == "title" && page.title.empty()) {
      appendCollapsed(page.title, html::toUTF8(element.textContent()));
      trimEnd(page.title);
    }
    reader.enter(element, name);
    if (isUnread(name)) {
      reader.leave(element, name);
      continue;
    }
    stack.push_back({child, 0, std::move(name)});
  }
  reader.finishLink();
  reader.flush();
  reader.resolveLabels();
  return page;
}

std::string WebPageSummary::text() const {
  std::string out;
  for (auto& p : paragraphs) out += (out.empty() ? "" : " ") + p;
  return out;
}
