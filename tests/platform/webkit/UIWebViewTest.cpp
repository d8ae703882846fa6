// The older web view kind: a page given as text with a base address, its callbacks
// through a private scheme, synchronous script answers, and a store's account pages
// whose every request carries the device's headers.
#include <gtest/gtest.h>

#include "foundation/RunLoop.h"
#include "support/TestHttpServer.h"
#include "support/UIDriver.h"
#include "uikit/UITextField.h"
#include "webkit/UIWebView.h"

namespace {
using Log = std::vector<std::string>;

TestHttpResponse html(const std::string& body) {
  TestHttpResponse r = TestHttpResponse::text(body);
  r.contentType = "text/html";
  return r;
}

// What the video player view asks of its web view: pages from its own host load, the
// "kvplayer" scheme carries the page's events, other links leave for the system.
class Player : public UIWebViewDelegate {
 public:
  Log calls;
  std::string originHost;
  bool webViewShouldStartLoadWithRequest(UIWebView&, URLRequest& request, UIWebViewNavigationType type) override {
    const URL& url = *request.url();
    calls.push_back("should " + url.absoluteString() + (type == UIWebViewNavigationTypeLinkClicked ? " (link)" : ""));
    if (url.host() == originHost) return true;
    if (url.scheme() == "kvplayer") {
      calls.push_back("event " + url.host() + " " + url.query().value_or(""));
      return false;
    }
    if (url.isHTTP()) {
      calls.push_back("external " + url.absoluteString());  // handed to the system instead
      return false;
    }
    return true;
  }
  void webViewDidStartLoad(UIWebView&) override { calls.push_back("start"); }
  void webViewDidFinishLoad(UIWebView&) override { calls.push_back("finish"); }
  void webViewDidFailLoadWithError(UIWebView&, ErrorRef error) override {
    calls.push_back("fail " + std::to_string(error->code));
  }
};

bool settle(UIWebView& web) {
  RunLoop::main().runUntilIdle();
  return RunLoop::main().runUntil([&] { return !web.isLoading(); }, 10);
}
}  // namespace

TEST(UIWebViewTest, APageFromTextReportsThroughItsScheme) {
  UIDriver ui;
  auto web = std::make_shared<UIWebView>(CGRect::make(0, 0, 320, 180));
  Player player;
  player.originHost = "www.example.com";
  web->setDelegate(&player);
  web->setAllowsInlineMediaPlayback(true);
  web->loadHTMLString("<title>Player</title><a href='https://video.example/watch?v=x'>Title</a>",
                      URL::fromString("https://www.example.com/"));
  EXPECT_TRUE(player.calls.empty()) << "a load starts on the next turn";
  ASSERT_TRUE(settle(*web));
  EXPECT_EQ(player.calls, (Log{"should https://www.example.com/", "start", "finish"}));
  EXPECT_EQ(web->request()->url()->absoluteString(), "https://www.example.com/");
  EXPECT_EQ(web->page().summary.title, "Player");

  // The page's script reports its events by navigating to the private scheme.
  player.calls.clear();
  web->navigateByPage(URLRequest(URL::fromString("kvplayer://onStateChange?data=1")));
  ASSERT_TRUE(settle(*web));
  EXPECT_EQ(player.calls, (Log{"should kvplayer://onStateChange?data=1", "event onStateChange data=1"}));
  EXPECT_EQ(web->page().summary.title, "Player") << "the page stays";

  // Scripts are answered from the table, synchronously; an unknown one answers "".
  web->setScriptAnswer("player.getPlayerState();", "1");
  EXPECT_EQ(web->stringByEvaluatingJavaScriptFromString("player.getPlayerState();"), "1");
  EXPECT_EQ(web->stringByEvaluatingJavaScriptFromString("player.getDuration();"), "");

  // A link a person taps is asked about as a link; a scheme that cannot load fails.
  player.calls.clear();
  EXPECT_TRUE(web->tapLinkByUser("Title"));
  web->navigateByPage(URLRequest(URL::fromString("itms-apps://app")));
  RunLoop::main().runUntilIdle();
  ASSERT_EQ(player.calls.size(), 4u);
  EXPECT_EQ(player.calls[0], "should https://video.example/watch?v=x (link)");
  EXPECT_EQ(player.calls[3], "fail -1002");
  web->stopLoading();
  ASSERT_TRUE(settle(*web));
}

namespace {
// The outside store's account pages: the web view puts the device's headers on every
// request it sends; the screen watches for the sign-out address.
class StoreWebView : public UIWebView {
 public:
  using UIWebView::UIWebView;
  URLRequest webThreadWebView(uint64_t, const URLRequest& sent, const URLResponseRef&) override {
    URLRequest request = sent;
    request.setValue("Mozilla/5.0 (iPhone; CPU iPhone OS 10_3_3 like Mac OS X)", "User-Agent");
    request.setValue("iPhone10,3", "X-Machine");
    request.setValue("14.4", "X-Firmware");
    return request;
  }
};

class Store : public UIWebViewDelegate {
 public:
  Log calls;
  bool webViewShouldStartLoadWithRequest(UIWebView&, URLRequest& request, UIWebViewNavigationType) override {
    if (request.url()->absoluteString().find("api/invalidate") != std::string::npos) calls.push_back("signed out");
    request.setValue("yes", "X-Checked");
    return true;
  }
  void webViewDidFinishLoad(UIWebView& web) override { calls.push_back("finished " + web.request()->url()->path()); }
  void webViewDidFailLoadWithError(UIWebView&, ErrorRef error) override { calls.push_back("failed " + std::to_string(error->code)); }
};
}  // namespace

TEST(UIWebViewTest, EveryRequestCarriesTheHeadersAndHistoryWorks) {
  UIDriver ui;
  TestHttpServer server;
  server.respond("/account", html("<a href='/account/purchases'>Purchases</a><a href='/api/invalidate'>Sign out</a>"));
  server.respond("/account/purchases", html("<title>Purchases</title>"));
  server.redirect("/api/invalidate", "/signed-out");
  server.respond("/signed-out", html("<title>Bye</title>"));
  auto web = std::make_shared<StoreWebView>(CGRect::make(0, 0, 320, 480));
  Store store;
  web->setDelegate(&store);
  web->loadRequest(URLRequest(URL::fromString(server.url("/account"))));
  ASSERT_TRUE(settle(*web));
  ASSERT_TRUE(web->tapLinkByUser("Purchases"));
  ASSERT_TRUE(settle(*web));
  for (const auto& request : server.requests()) {
    SCOPED_TRACE(request.path);
    EXPECT_EQ(request.header("X-Machine"), "iPhone10,3");
    EXPECT_EQ(request.header("X-Checked"), "yes") << "the delegate's change is sent";
    EXPECT_EQ(request.header("User-Agent"), "Mozilla/5.0 (iPhone; CPU iPhone OS 10_3_3 like Mac OS X)");
  }
  EXPECT_TRUE(web->canGoBack());
  web->goBack();
  ASSERT_TRUE(settle(*web));
  EXPECT_EQ(web->request()->url()->path(), "/account");
  ASSERT_TRUE(web->tapLinkByUser("Sign out"));
  ASSERT_TRUE(settle(*web));
  EXPECT_EQ(store.calls, (Log{"finished /account", "finished /account/purchases", "finished /account", "signed out",
                              "finished /signed-out"}))
      << "a redirect shows where it ended";
  EXPECT_EQ(server.requestsTo("/signed-out").at(0).header("X-Machine"), "iPhone10,3") << "also after the redirect";
  EXPECT_TRUE(web->canGoBack());
  EXPECT_FALSE(web->canGoForward()) << "a new page drops what was ahead";
}

namespace {
// A web view whose hook stamps every request it sends, numbering them, and keeps the
// status of the reply a redirect came from.
class StampingWebView : public UIWebView {
 public:
  using UIWebView::UIWebView;
  Log hooked;
  URLRequest webThreadWebView(uint64_t resource, const URLRequest& sent, const URLResponseRef& redirect) override {
    URLRequest request = sent;
    request.setValue("yes", "X-Hooked");
    hooked.push_back(std::to_string(resource) + " " + request.url()->path() +
                     (redirect ? " after " + std::to_string(redirect->statusCode()) : ""));
    return request;
  }
};

class Asking : public UIWebViewDelegate {
 public:
  Log asked;
  std::string refuse;
  bool webViewShouldStartLoadWithRequest(UIWebView&, URLRequest& request, UIWebViewNavigationType type) override {
    asked.push_back(request.url()->path() + " " + std::to_string(type));
    return request.url()->path() != refuse;
  }
  void webViewDidFailLoadWithError(UIWebView&, ErrorRef error) override { asked.push_back("fail " + std::to_string(error->code)); }
};
}  // namespace

TEST(UIWebViewTest, FormsRedirectsAndResourcesPassTheQuestionAndTheHook) {
  UIDriver ui;
  TestHttpServer server;
  server.respond("/start", html("<title>Sign in</title><img src='/pic.png'>"
                                "<form action='/login' method='post'><input name='user' placeholder='User'>"
                                "<input type='password' name='pass' placeholder='Password'>"
                                "<input type='submit' value='Sign In'></form><a href='/away'>Away</a>"));
  server.respond("/pic.png", TestHttpResponse::text("png"));
  server.handle("POST", "/login", [](const TestHttpRequest&) {
    TestHttpResponse r = TestHttpResponse::redirect("/account", 303);
    r.headers.emplace_back("Set-Cookie", "session=abc; Path=/");
    return r;
  });
  server.handle("GET", "/account", [](const TestHttpRequest& r) {
    return html("<title>" + std::string(r.header("Cookie") == "session=abc" ? "Account" : "Stranger") + "</title>"
                "<script src='/app.js'></script>");
  });
  server.respond("/app.js", TestHttpResponse::text("1;"));
  server.redirect("/away", "/forbidden");
  auto web = std::make_shared<StampingWebView>(CGRect::make(0, 0, 320, 480));
  Asking delegate;
  web->setDelegate(&delegate);
  ui.show(std::make_shared<UIViewController>());
  ui.front()->view()->addSubview(web);
  web->loadRequest(URLRequest(URL::fromString(server.url("/start"))));
  ASSERT_TRUE(settle(*web));
  EXPECT_TRUE(ui.screenShows("field \"User\": ")) << ui.screen();
  EXPECT_TRUE(ui.screenShows("[Sign In]"));

  // A person fills the form in and sends it: the POST sets a cookie and redirects.
  web->formField("User")->setText("ann");
  web->formField("Password")->setText("s&cret");
  ASSERT_TRUE(ui.tap("Sign In")) << ui.screen();
  ASSERT_TRUE(settle(*web));
  EXPECT_EQ(web->page().summary.title, "Account") << "the redirect carried the cookie";
  EXPECT_EQ(server.requestsTo("/login").at(0).body, "user=ann&pass=s%26cret");
  EXPECT_EQ(web->request()->HTTPMethod(), "GET") << "a 303 leads to a GET";
  EXPECT_EQ(delegate.asked, (Log{"/start 5", "/login 1", "/account 5"})) << "the page, the form and the redirect";
  EXPECT_EQ(web->hooked, (Log{"1 /start", "2 /pic.png", "3 /login", "4 /account after 303", "5 /app.js"}));
  for (const auto& request : server.requests()) EXPECT_EQ(request.header("X-Hooked"), "yes") << request.path;

  // A redirect the delegate refuses ends the load; what was shown stays.
  delegate.asked.clear();
  delegate.refuse = "/forbidden";
  web->goBack();
  ASSERT_TRUE(settle(*web));
  EXPECT_EQ(web->page().summary.title, "Sign in");
  ASSERT_TRUE(web->tapLinkByUser("Away"));
  ASSERT_TRUE(settle(*web));
  EXPECT_EQ(delegate.asked, (Log{"/start 2", "/away 0", "/forbidden 5", "fail 102"}));
  EXPECT_EQ(server.requestCount("/forbidden"), 0u);
  EXPECT_EQ(web->page().summary.title, "Sign in");
  EXPECT_TRUE(web->canGoForward());
}
