#include "support/PlayedOutsideStore.h"

#include <map>

#include "foundation/URL.h"
#include "support/TestHttpServer.h"

namespace {
TestHttpResponse html(std::string body) {
  TestHttpResponse r = TestHttpResponse::text(std::move(body));
  r.contentType = "text/html; charset=utf-8";
  return r;
}

// The fields of a form body ("a=1&b=2", "+" for a blank).
std::map<std::string, std::string> formFields(const std::string& body) {
  std::map<std::string, std::string> fields;
  size_t at = 0;
  while (at <= body.size()) {
    size_t end = body.find('&', at);
    if (end == std::string::npos) end = body.size();
    std::string pair = body.substr(at, end - at);
    for (char& c : pair)
      if (c == '+') c = ' ';
    size_t equals = pair.find('=');
    auto decode = [](const std::string& s) { return URL::percentDecode(s).value_or(s); };
    if (!pair.empty()) fields[decode(pair.substr(0, equals))] = equals == std::string::npos ? "" : decode(pair.substr(equals + 1));
    at = end + 1;
  }
  return fields;
}
}  // namespace

PlayedOutsideStore::PlayedOutsideStore(TestHttpServer& server) : server_(server) {
  server_.handle("GET", "/account", [this](const TestHttpRequest& r) {
    if (hasSession(r.header("Cookie")))
      return html(page("Your Account", "<p>Signed in as ann.</p><p><a href=\"/account/purchases\">Purchases</a> "
                                       "<a href=\"/api/invalidate\">Sign Out</a></p>"));
    return html(page("Sign In", "<form action=\"/login\" method=\"post\">"
                                "<input name=\"user\" placeholder=\"User name\">"
                                "<input type=\"password\" name=\"password\" placeholder=\"Password\">"
                                "<input type=\"hidden\" name=\"from\" value=\"account\">"
                                "<input type=\"submit\" value=\"Sign In\"></form>"));
  });
  server_.handle("POST", "/login", [this](const TestHttpRequest& r) {
    auto fields = formFields(r.body);
    if (fields["user"] != kUser || fields["password"] != kPassword)
      return html(page("Sign In", "<p>Wrong user name or password.</p><p><a href=\"/account\">Try again</a></p>"));
    std::lock_guard<std::mutex> lock(mutex_);
    session_ = "s" + std::to_string(++sessions_);
    TestHttpResponse reply = TestHttpResponse::redirect("/account", 302);
    reply.headers.emplace_back("Set-Cookie", "store_session=" + session_ + "; Path=/");
    return reply;
  });
  server_.handle("GET", "/account/purchases", [this](const TestHttpRequest& r) {
    if (!hasSession(r.header("Cookie"))) return html(page("Purchases", "<p>Sign in to see your purchases.</p>"));
    std::string prefix = location();
    if (prefix.rfind("https://", 0) == 0) prefix = "http://" + prefix.substr(8);
    std::string links;
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& identifier : purchases_)
      links += "<li><a href=\"" + prefix + "package/" + identifier + "\">" + prefix + "package/" + identifier + "</a></li>";
    return html(page("Purchases", "<ul>" + links + "</ul>"));
  });
  server_.handle("GET", "/api/invalidate", [this](const TestHttpRequest&) {
    std::lock_guard<std::mutex> lock(mutex_);
    session_.clear();
    TestHttpResponse reply = TestHttpResponse::redirect("/account", 302);
    reply.headers.emplace_back("Set-Cookie", "store_session=; Path=/; Max-Age=0");
    return reply;
  });
  server_.respond("/style.css", TestHttpResponse::text("body { font-family: sans-serif; }"));
  server_.respond("/logo.png", TestHttpResponse::text("logo"));
}

std::string PlayedOutsideStore::location() const { return server_.url("/"); }

void PlayedOutsideStore::setPurchases(std::vector<std::string> identifiers) {
  std::lock_guard<std::mutex> lock(mutex_);
  purchases_ = std::move(identifiers);
}

bool PlayedOutsideStore::signedIn() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return !session_.empty();
}

bool PlayedOutsideStore::hasSession(const std::string& cookies) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return !session_.empty() && cookies.find("store_session=" + session_) != std::string::npos;
}

std::string PlayedOutsideStore::page(const std::string& title, const std::string& body) const {
  return "<!DOCTYPE html><html><head><title>" + title + "</title><link rel=\"stylesheet\" href=\"/style.css\">"
         "</head><body><img src=\"/logo.png\" alt=\"Store\"><h1>" + title + "</h1>" + body +
         "</body></html>";
}
