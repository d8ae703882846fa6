#include "markdown/NSStringURLsFromString.h"

#include "markdown/MDRegularExpression.h"

namespace markdown::NSStringURLsFromString {

std::vector<URL> URLs(std::string_view text) {
  std::vector<URL> urls;
  if (text.empty()) return urls;
  // "https?://([-\w\.]+)+..." with the host's nested repetition written once: the same
  // matches, without the nested quantifier a backtracking engine can stumble on.
  static const MDRegularExpression expression("https?://[-\\w\\.]+(:\\d+)?(/([\\w/_\\.]*(\\?\\S+)?)?)?", true);
  for (auto [start, end] : expression.matches(text)) {
    auto url = URL::fromString(text.substr(start, end - start));
    if (url && !url->scheme().empty() && !url->host().empty()) urls.push_back(std::move(*url));
  }
  return urls;
}

}  // namespace markdown::NSStringURLsFromString
