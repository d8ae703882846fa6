// A WKWebView loading real pages from a server on 127.0.0.1: its requests carry their
// headers and the process's cookies, its navigation delegate decides and hears every
// step, observers follow progress and title, and a person taps links.
#include <gtest/gtest.h>

#include "foundation/RunLoop.h"
#include "foundation/URLSession.h"
#include "support/TestHttpServer.h"
#include "support/UIDriver.h"
#include "uikit/UIApplication.h"
#include "uikit/UIProgressView.h"
#include "webkit/WKWebView.h"

namespace {
using Log = std::vector<std::string>;

TestHttpResponse html(const std::string& body, int status = 200) {
  TestHttpResponse r = TestHttpResponse::text(body, status);
  r.contentType = "text/html; charset=utf-8";
  return r;
}

bool waitFor(const std::function<bool()>& done) { return RunLoop::main().runUntil(done, 10); }

// The in-app browser's way with a web view: a progress bar that follows the load, the
// network indicator while a link opens a new window, and such links opened in place.
class Browser : public UIViewController, public WKNavigationDelegate, public WKUIDelegate {
 public:
  std::shared_ptr<WKWebView> web;
  std::shared_ptr<UIProgressView> bar = std::make_shared<UIProgressView>();
  Log calls;
  std::vector<float> progress;
  std::vector<double> heights;
  bool openBlankInPlace = true;
  std::optional<std::string> refuse;  // a path whose navigations are refused
  bool refuseReplies = false;
  std::shared_ptr<WKWebView> popup;  // a web view to open new windows in
  std::vector<NotificationToken> tokens;

  void viewDidLoad() override {
    WKWebViewConfiguration configuration;
    configuration.applicationNameForUserAgent = "(Quillbark/5.0, like Cydia) Light";
    web = std::make_shared<WKWebView>(CGRect::make(0, 2, 375, 600), configuration);
    web->setNavigationDelegate(this);
    web->setUIDelegate(this);
    tokens.push_back(web->addObserver(WKWebView::ObservedKey::EstimatedProgress, [this] {
      bar->setProgress(float(web->estimatedProgress()), true);
      progress.push_back(bar->progress());
    }));
    tokens.push_back(web->addObserver(WKWebView::ObservedKey::Title, [this] { calls.push_back("title " + web->title()); }));
    tokens.push_back(web->scrollView()->addContentSizeObserver([this](CGSize size) { heights.push_back(size.height); }));
    view()->addSubview(bar);
    view()->addSubview(web);
  }
  void decidePolicyForNavigationAction(WKWebView& w, const WKNavigationAction& action,
                                       std::function<void(WKNavigationActionPolicy)> decide) override {
    std::string path = action.request.url() ? action.request.url()->path() : "";
    calls.push_back("action " + path + (action.targetFrame ? "" : " (new window)") +
                    (action.navigationType == WKNavigationTypeLinkActivated ? " by link" : ""));
    if (!action.targetFrame && openBlankInPlace) {
      UIApplication::sharedApplication().setNetworkActivityIndicatorVisible(true);
      w.loadRequest(action.request);
    }
    decide(refuse && path == *refuse ? WKNavigationActionPolicyCancel : WKNavigationActionPolicyAllow);
  }
  void decidePolicyForNavigationResponse(WKWebView&, const WKNavigationResponse& response,
                                         std::function<void(WKNavigationResponsePolicy)> decide) override {
    calls.push_back("response " + std::to_string(response.response->statusCode()));
    decide(refuseReplies ? WKNavigationResponsePolicyCancel : WKNavigationResponsePolicyAllow);
  }
  void didStartProvisionalNavigation(WKWebView&, const WKNavigation*) override { calls.push_back("start"); }
  void didCommitNavigation(WKWebView&, const WKNavigation*) override { calls.push_back("commit"); }
  void didFinishNavigation(WKWebView&, const WKNavigation*) override {
    calls.push_back("finish");
    UIApplication::sharedApplication().setNetworkActivityIndicatorVisible(false);
  }
  void didFailProvisionalNavigation(WKWebView&, const WKNavigation*, ErrorRef error) override {
    calls.push_back("fail " + error->domain + " " + std::to_string(error->code));
  }
  std::shared_ptr<WKWebView> createWebViewWithConfiguration(WKWebView&, const WKWebViewConfiguration&,
                                                           const WKNavigationAction&) override {
    return popup;
  }
};

class WKWebViewTest : public ::testing::Test {
 protected:
  void SetUp() override { ui.show(browser); }
  void load(const std::string& path) {
    browser->web->loadRequest(URLRequest(URL::fromString(server.url(path))));
    wait();
  }
  // Until the web view has settled: nothing loading and every posted report run.
  void wait() {
    RunLoop::main().runOnce();
    ASSERT_TRUE(waitFor([&] { return !browser->web->isLoading(); }));
    ui.runUntilIdle();
  }
  TestHttpServer server;
  UIDriver ui;
  std::shared_ptr<Browser> browser = std::make_shared<Browser>();
};
}  // namespace

TEST_F(WKWebViewTest, RequestsCarryTheirHeadersAndTheProcessCookies) {
  auto depiction = html("<title>Snowboard</title><p>Themes.</p><a href='/next'>Next</a>");
  depiction.headers.push_back({"Set-Cookie", "session=abc; Path=/"});
  server.respond("/depiction", depiction);
  server.respond("/next", html("<title>Next page</title>"));
  URLRequest request(URL::fromString(server.url("/depiction")));
  request.setValue("iPhone10,3", "X-Machine");
  request.setValue("Telesphoreo APT-HTTP/1.0.592 Light", "User-Agent");
  browser->web->loadRequest(request);
  wait();
  auto first = server.requestsTo("/depiction");
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0].header("X-Machine"), "iPhone10,3");
  EXPECT_EQ(first[0].header("User-Agent"), "Telesphoreo APT-HTTP/1.0.592 Light") << "the request's own agent reaches the server";

  ASSERT_TRUE(ui.tap("Next")) << ui.screen();
  wait();
  auto second = server.requestsTo("/next");
  ASSERT_EQ(second.size(), 1u);
  EXPECT_EQ(second[0].header("Cookie"), "session=abc") << "the page's cookie comes back";
  std::string agent = second[0].header("User-Agent");
  EXPECT_EQ(agent.find("Mozilla/5.0 (iPhone; CPU iPhone OS "), 0u) << agent;
  EXPECT_NE(agent.find(" (Quillbark/5.0, like Cydia) Light"), std::string::npos) << "the application's name follows";
  EXPECT_EQ(browser->web->title(), "Next page");

  // Other requests of the process share the web view's cookies.
  std::atomic<bool> done{false};
  URLSession::sharedSession()->dataTaskWithURL(*URL::fromString(server.url("/next")), [&](auto, auto, auto) { done = true; })->resume();
  ASSERT_TRUE(waitFor([&] { return done.load(); }));
  EXPECT_EQ(server.requestsTo("/next").back().header("Cookie"), "session=abc");
}

TEST_F(WKWebViewTest, TheDelegateHearsEveryStepAndObserversFollow) {
  server.respond("/page", html("<title>Package</title><p>" + std::string(3000, 'x') + "</p>"));
  load("/page");
  EXPECT_EQ(browser->calls, (Log{"action /page", "start", "response 200", "commit", "title Package", "finish"}));
  EXPECT_EQ(browser->progress, (std::vector<float>{0.1f, 0.5f, 1.0f}));
  EXPECT_EQ(browser->web->url()->absoluteString(), server.url("/page"));
  ASSERT_FALSE(browser->heights.empty());
  EXPECT_EQ(browser->web->scrollView()->contentSize().height, browser->heights.back()) << "observers hear the height";
  EXPECT_GT(browser->heights.back(), 600) << "a long page is taller than the view";
  EXPECT_TRUE(ui.screenShows("web page: Package (" + server.url("/page") + ")\n")) << ui.screen();
}

TEST_F(WKWebViewTest, PoliciesRefuseNavigationsAndReplies) {
  server.respond("/private", html("<title>Private</title>"));
  browser->refuse = "/private";
  load("/private");
  RunLoop::main().runUntilIdle();
  EXPECT_EQ(server.requestCount("/private"), 0u) << "a refused navigation sends nothing";
  EXPECT_EQ(browser->calls, (Log{"action /private"}));

  browser->calls.clear();
  browser->refuse.reset();
  browser->refuseReplies = true;
  load("/private");
  EXPECT_EQ(browser->calls, (Log{"action /private", "start", "response 200", "fail WebKitErrorDomain 102"}));
  EXPECT_FALSE(browser->web->url()) << "nothing was shown";
}

TEST_F(WKWebViewTest, LinksForANewWindowOpenOnlyWhereTheScreenSays) {
  server.respond("/list", html("<a href='/list' target='_blank'>Again</a><a href='other'>Other</a>"));
  server.respond("/other", html("<title>Other</title>"));
  load("/list");
  browser->calls.clear();
  // The browser's rule: a new window's request loads in the same web view.
  ASSERT_TRUE(ui.tap("Again"));
  wait();
  EXPECT_EQ(browser->calls, (Log{"action /list (new window) by link", "action /list", "start", "response 200", "commit",
                                 "finish"}));
  EXPECT_FALSE(UIApplication::sharedApplication().isNetworkActivityIndicatorVisible());
  EXPECT_EQ(server.requestCount("/list"), 2u);
  // Without that rule the screen is asked for a window; with none, nothing opens.
  browser->openBlankInPlace = false;
  ASSERT_TRUE(ui.tap("Again"));
  RunLoop::main().runUntilIdle();
  EXPECT_EQ(server.requestCount("/list"), 2u);
  browser->popup = std::make_shared<WKWebView>(CGRect::make(0, 0, 320, 480));
  ASSERT_TRUE(ui.tap("Again"));
  RunLoop::main().runOnce();
  ASSERT_TRUE(waitFor([&] { return browser->popup->url().has_value(); }));
  EXPECT_EQ(browser->popup->url()->absoluteString(), server.url("/list"));
  // A plain link loads in place and can be gone back from.
  ASSERT_TRUE(ui.tap("Other"));
  wait();
  EXPECT_EQ(browser->web->title(), "Other");
  EXPECT_TRUE(browser->web->canGoBack());
  browser->web->goBack();
  wait();
  EXPECT_EQ(browser->web->url()->absoluteString(), server.url("/list"));
  EXPECT_TRUE(browser->web->canGoForward());
}

TEST_F(WKWebViewTest, FailuresAreReportedAndErrorPagesShown) {
  browser->web->loadRequest(URLRequest(URL::fromString(TestHttpServer::closedBaseURL() + "/x")));
  wait();
  ASSERT_FALSE(browser->calls.empty());
  EXPECT_EQ(browser->calls.back(), "fail NSURLErrorDomain -1004");
  EXPECT_EQ(browser->web->estimatedProgress(), 1.0) << "the progress bar can fade away";
  browser->calls.clear();
  server.respond("/gone", html("<title>Not Found</title>", 404));
  load("/gone");
  EXPECT_EQ(browser->calls.back(), "finish") << "an error status is a page like any other";
  EXPECT_EQ(browser->web->title(), "Not Found");
  browser->calls.clear();
  browser->web->loadRequest(URLRequest(URL::fromString("mailto:dev@example.org")));
  wait();
  EXPECT_EQ(browser->calls.back(), "fail NSURLErrorDomain -1002");
  EXPECT_EQ(browser->web->title(), "Not Found") << "the page shown stays";
}

TEST_F(WKWebViewTest, TextPagesScriptsAndStopping) {
  server.respond("/base/more", html("<title>More</title>"));
  browser->web->loadHTMLString("<title>Local</title><a href='more'>More</a>", URL::fromString(server.url("/base/index")));
  wait();
  EXPECT_EQ(browser->web->title(), "Local");
  EXPECT_EQ(server.requestCount(), 0u) << "a page given as text fetches nothing";
  ASSERT_TRUE(ui.tap("More"));
  wait();
  EXPECT_EQ(server.requestCount("/base/more"), 1u) << "its links resolve against the base";

  browser->web->setScriptAnswer("document.title", "More");
  std::vector<Value> answers;
  browser->web->evaluateJavaScript("document.title", [&](Value v, ErrorRef) { answers.push_back(v); });
  browser->web->evaluateJavaScript("player.getDuration();", [&](Value v, ErrorRef) { answers.push_back(v); });
  ui.runUntilIdle();
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_EQ(answers[0].asString(), "More");
  EXPECT_TRUE(answers[1].isNull());
  EXPECT_EQ(browser->web->evaluatedScripts(), (std::vector<std::string>{"document.title", "player.getDuration();"}));

  TestHttpResponse slow = html("<title>Slow</title>");
  slow.delay = std::chrono::milliseconds(3000);
  server.respond("/slow", slow);
  browser->calls.clear();
  browser->web->loadRequest(URLRequest(URL::fromString(server.url("/slow"))));
  RunLoop::main().runOnce();
  ASSERT_TRUE(browser->web->isLoading());
  browser->web->stopLoading();
  EXPECT_EQ(browser->calls.back(), "fail NSURLErrorDomain -999");
  EXPECT_EQ(browser->web->title(), "More");
}

TEST(WKWebViewLifetimeTest, AWebViewGoneMidLoadHearsNothing) {
  TestHttpServer server;
  TestHttpResponse slow = html("<title>Late</title>");
  slow.delay = std::chrono::milliseconds(200);
  server.respond("/late", slow);
  TestHttpResponse later = html("<title>Later</title>");
  later.delay = std::chrono::milliseconds(400);
  server.respond("/later", later);
  struct Counter : WKNavigationDelegate {
    int finished = 0;
    void didFinishNavigation(WKWebView&, const WKNavigation*) override { ++finished; }
  } gone, kept;
  auto web = std::make_shared<WKWebView>(CGRect::make(0, 0, 320, 480));
  web->setNavigationDelegate(&gone);
  web->loadRequest(URLRequest(URL::fromString(server.url("/late"))));
  auto witness = std::make_shared<WKWebView>(CGRect::make(0, 0, 320, 480));
  witness->setNavigationDelegate(&kept);
  witness->loadRequest(URLRequest(URL::fromString(server.url("/later"))));
  RunLoop::main().runOnce();
  ASSERT_TRUE(server.waitForRequests("/late", 1));
  web.reset();
  // The later page answers after the first would have: once it is shown, the first
  // reply has long come back, and found no one.
  ASSERT_TRUE(waitFor([&] { return kept.finished == 1; }));
  EXPECT_EQ(gone.finished, 0);
}
