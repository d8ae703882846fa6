#pragma once
// A page a web view shows: where it came from, its text as sent (decoded to UTF-8 by
// the reply's charset, else the page's own <meta> charset, else a guess) and what a
// person reads of it.
#include <optional>
#include <string>

#include "foundation/URL.h"
#include "foundation/URLResponse.h"
#include "foundation/Value.h"
#include "webkit/WebPageSummary.h"

struct WebPage {
  std::optional<URL> url;  // after redirects; nothing for an empty page
  std::optional<URL> baseURL;  // what the page's links resolve against
  std::string html;
  WebPageSummary summary;
  URLResponseRef response;

  static WebPage fromHTML(std::string html, std::optional<URL> url);
  static WebPage fromReply(const Data& body, URLResponseRef response);
  // A link of the page resolved against its base; nothing when it makes no URL.
  std::optional<URL> resolve(const std::string& href) const;
  // The height the page's text takes at a width, one 16-point line after another,
  // each paragraph wrapped and 8 points of margin around it all.
  double contentHeightAtWidth(double width) const;
};
