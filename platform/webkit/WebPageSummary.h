#pragma once
// What a person reads of an HTML page, found by a small scan rather than a parser: the
// first title, the text in paragraphs (without scripts and styles), and the links with
// their text and target. The scan is linear in the page's length and takes any bytes;
// markup it does not understand is skipped, never trusted. Web views show and measure
// pages with it; it is no HTML parser.
#include <string>
#include <string_view>
#include <vector>

struct WebPageLink {
  std::string href;    // as written (entities decoded), not yet resolved
  std::string target;  // "_blank" for a new window; empty for the same one
  std::string text;
};

struct WebPageSummary {
  std::string title;
  std::vector<std::string> paragraphs;  // whitespace collapsed, none empty
  std::vector<WebPageLink> links;

  static WebPageSummary scan(std::string_view html);
  // The text of all paragraphs, one line.
  std::string text() const;
};
