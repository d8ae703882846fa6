#pragma once
// What a person reads and fills in of an HTML page, read with the HTML library: the first
// title, the text in paragraphs (without scripts and styles), the links with their text
// and target, and the forms with their fields. Any bytes make a page; markup the parser
// mends is read as it mends it. Web views show, measure and submit pages with it.
#include <string>
#include <string_view>
#include <vector>

struct WebPageLink {
  std::string href;    // as written (references decoded), not yet resolved
  std::string target;  // "_blank" for a new window; empty for the same one
  std::string text;
};

// One control of a form, in the order of the page.
struct WebPageFormField {
  enum class Kind {
    Text,      // a line or area of text a person types (text, email, search, textarea, ...)
    Password,  // the same, shown as stars
    Hidden,    // sent as it stands
    Choice,    // a checkbox or radio button: sent when checked
    Submit,    // a button that sends the form, with its own name and value
    Other,     // shown nowhere and never sent (file pickers, plain buttons, resets)
  };
  Kind kind = Kind::Text;
  std::string name;   // empty: nothing of it is sent
  std::string value;  // what it holds as the page gives it
  std::string label;  // what a person reads for it: its label, placeholder, title, else name
  bool checked = false;
};

struct WebPageForm {
  std::string action;  // as written; empty: the page's own address
  std::string method;  // "get" or "post"
  std::vector<WebPageFormField> fields;
};

struct WebPageSummary {
  std::string title;
  std::vector<std::string> paragraphs;  // whitespace collapsed, none empty
  std::vector<WebPageLink> links;
  std::vector<WebPageForm> forms;
  // Addresses of what the page loads besides itself (images, scripts, style sheets,
  // frames), as written, in order, each once.
  std::vector<std::string> subresources;

  static WebPageSummary scan(std::string_view html);
  // The text of all paragraphs, one line.
  std::string text() const;
};
