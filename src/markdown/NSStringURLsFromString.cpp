#include "markdown/NSStringURLsFromString.h"

#include "markdown/MDRegularExpression.h"

namespace markdown::NSStringURLsFromString {

namespace {
void append(std::vector<URL>& urls, std::string_view match) {
  auto url = URL::fromString(match);
  if (url && !url->scheme().empty() && !url->host().empty()) urls.push_back(std::move(*url));
}
}  // namespace

std::vector<URL> URLs(std::string_view text) {
  std::vector<URL> urls;
  if (text.empty()) return urls;
  // "https?://([-\w\.]+)+..." with the host's nested repetition written once: the same
  // matches, without the nested quantifier a backtracking engine can stumble on.
  static const MDRegularExpression expression("https?://[-\\w\\.]+(:\\d+)?(/([\\w/_\\.]*(\\?\\S+)?)?)?", true);
  for (auto [start, end] : expression.matches(text)) append(urls, text.substr(start, end - start));
  return urls;
}

std::vector<URL> URLsWithRFC3986Paths(std::string_view text) {
  std::vector<URL> urls;
  if (text.empty()) return urls;
  static const MDRegularExpression expression(
      "https?://[-\\w\\.]+(:\\d+)?(/([-\\w/_\\.~%!$\\&'()*+,;=:@]*(\\?\\S+)?)?)?", true);
  for (auto [start, end] : expression.matches(text)) {
    std::string_view match = text.substr(start, end - start);
    // The sentence's own punctuation after the address, not its path's.
    size_t pathStart = match.find('/', match.find("://") + 3);
    while (pathStart != std::string_view::npos && match.size() > pathStart + 1 &&
           std::string_view(".,;:!')").find(match.back()) != std::string_view::npos)
      match.remove_suffix(1);
    append(urls, match);
  }
  return urls;
}

}  // namespace markdown::NSStringURLsFromString
