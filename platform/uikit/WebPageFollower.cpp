#include "uikit/WebPageFollower.h"

#include <cctype>
#include <utility>
#include <vector>

#include "foundation/RunLoop.h"
#include "foundation/URLSession.h"
#include "foundation/URLSessionErrors.h"

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

// The few character references an address in an attribute carries.
std::string decodeReferences(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    if (text[i] == '&') {
      bool matched = false;
      static constexpr std::pair<std::string_view, char> kReferences[] = {
          {"&amp;", '&'}, {"&quot;", '"'}, {"&#39;", '\''}, {"&apos;", '\''}, {"&lt;", '<'}, {"&gt;", '>'}};
      for (auto [name, value] : kReferences) {
        if (text.substr(i, name.size()) == name) {
          out += value;
          i += name.size();
          matched = true;
          break;
        }
      }
      if (matched) continue;
    }
    out += text[i++];
  }
  return out;
}

// The attributes of one start tag, from just after its name to its ">"; `end` is moved
// past the tag.
std::vector<std::pair<std::string, std::string>> attributes(std::string_view html, size_t& at) {
  std::vector<std::pair<std::string, std::string>> found;
  while (at < html.size()) {
    while (at < html.size() && (isSpace(html[at]) || html[at] == '/')) ++at;
    if (at >= html.size() || html[at] == '>') break;
    size_t nameStart = at;
    while (at < html.size() && !isSpace(html[at]) && html[at] != '=' && html[at] != '>' && html[at] != '/') ++at;
    std::string name(html.substr(nameStart, at - nameStart));
    while (at < html.size() && isSpace(html[at])) ++at;
    std::string value;
    if (at < html.size() && html[at] == '=') {
      ++at;
      while (at < html.size() && isSpace(html[at])) ++at;
      if (at < html.size() && (html[at] == '"' || html[at] == '\'')) {
        char quote = html[at++];
        size_t close = html.find(quote, at);
        if (close == std::string_view::npos) close = html.size();
        value = decodeReferences(html.substr(at, close - at));
        at = close < html.size() ? close + 1 : close;
      } else {
        size_t valueStart = at;
        while (at < html.size() && !isSpace(html[at]) && html[at] != '>') ++at;
        value = decodeReferences(html.substr(valueStart, at - valueStart));
      }
    }
    if (name.empty()) ++at;
    else found.emplace_back(std::move(name), std::move(value));
  }
  return found;
}

// The address of a refresh declaration's content ("5; URL='next.html'"), read as the
// HTML standard's declarative refresh steps read it; nothing when it names none.
std::optional<std::string> refreshAddress(std::string_view content) {
  size_t at = 0;
  while (at < content.size() && isSpace(content[at])) ++at;
  size_t digits = at;
  while (at < content.size() && (std::isdigit(static_cast<unsigned char>(content[at])) || content[at] == '.')) ++at;
  if (at == digits) return std::nullopt;
  while (at < content.size() && isSpace(content[at])) ++at;
  if (at < content.size() && (content[at] == ';' || content[at] == ',')) ++at;
  else if (at < content.size()) return std::nullopt;
  while (at < content.size() && isSpace(content[at])) ++at;
  std::string_view rest = content.substr(at);
  if (rest.size() >= 3 && equalsIgnoringCase(rest.substr(0, 3), "url")) {
    size_t after = 3;
    while (after < rest.size() && isSpace(rest[after])) ++after;
    if (after < rest.size() && rest[after] == '=') {
      ++after;
      while (after < rest.size() && isSpace(rest[after])) ++after;
      rest = rest.substr(after);
    }
  }
  if (!rest.empty() && (rest[0] == '"' || rest[0] == '\'')) {
    char quote = rest[0];
    rest = rest.substr(1);
    size_t close = rest.find(quote);
    if (close != std::string_view::npos) rest = rest.substr(0, close);
  }
  while (!rest.empty() && isSpace(rest.back())) rest.remove_suffix(1);
  if (rest.empty()) return std::nullopt;  // a page that only reloads itself
  return std::string(rest);
}

}  // namespace

std::optional<std::string> WebPageFollower::refreshTarget(std::string_view html) {
  for (size_t at = 0; (at = html.find('<', at)) != std::string_view::npos;) {
    ++at;
    if (html.size() - at < 5 || !equalsIgnoringCase(html.substr(at, 4), "meta") ||
        !(isSpace(html[at + 4]) || html[at + 4] == '/')) {
      continue;
    }
    at += 4;
    auto found = attributes(html, at);
    std::optional<std::string> equiv, content;
    for (const auto& [name, value] : found) {
      if (equalsIgnoringCase(name, "http-equiv") && !equiv) equiv = value;
      if (equalsIgnoringCase(name, "content") && !content) content = value;
    }
    if (equiv && content && equalsIgnoringCase(*equiv, "refresh"))
      if (auto address = refreshAddress(*content)) return address;
  }
  return std::nullopt;
}

WebPageFollower::WebPageFollower(std::function<void(const Outcome&)> done) : done_(std::move(done)) {
  URLSessionConfiguration configuration = URLSessionConfiguration::ephemeralSessionConfiguration();
  configuration.HTTPShouldFollowRedirects = false;
  session_ = URLSession::sessionWithConfiguration(configuration);
}

WebPageFollower::~WebPageFollower() { session_->invalidateAndCancel(); }

std::shared_ptr<WebPageFollower> WebPageFollower::follow(const URL& url, std::function<void(const Outcome&)> done) {
  std::shared_ptr<WebPageFollower> follower(new WebPageFollower(std::move(done)));
  follower->step(url, 0);
  return follower;
}

void WebPageFollower::cancel() {
  std::lock_guard<std::mutex> lock(mutex_);
  cancelled_ = true;
}

void WebPageFollower::finish(Outcome outcome) {
  auto self = shared_from_this();
  RunLoop::main().post([self, outcome = std::move(outcome)] {
    std::function<void(const Outcome&)> done;
    {
      std::lock_guard<std::mutex> lock(self->mutex_);
      if (self->cancelled_) return;
      self->cancelled_ = true;  // reported once
      done = std::move(self->done_);
    }
    if (done) done(outcome);
  });
}

void WebPageFollower::step(const URL& url, int steps) {
  if (!url.isHTTP()) return finish({End::LeftTheWeb, url, nullptr});
  URLRequest request(url);
  request.setReplyLimits(URLReplyKinds::kWebPage);
  if (steps >= kMaximumSteps)
    return finish({End::Failed, url,
                   URLSessionErrors::make(NSURLErrorHTTPTooManyRedirects, "The page leads on too many times", request)});
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (cancelled_) return;
  }
  auto self = shared_from_this();
  auto task = session_->dataTaskWithRequest(
      request, [self, url, steps](std::optional<Data> body, URLResponseRef response, ErrorRef error) {
        if (error || !response) return self->finish({End::Failed, url, error});
        int status = response->statusCode();
        std::optional<std::string> next;
        if (status >= 300 && status < 400) {
          next = response->valueForHTTPHeaderField("Location");
        } else if (status >= 200 && status < 300 && body) {
          next = refreshTarget(std::string_view(reinterpret_cast<const char*>(body->data()), body->size()));
        }
        if (!next) return self->finish({End::Settled, url, nullptr});
        auto target = URL::fromString(*next, url);
        if (!target) return self->finish({End::Settled, url, nullptr});  // a link that leads nowhere
        self->step(*target, steps + 1);
      });
  task->resume();
}
