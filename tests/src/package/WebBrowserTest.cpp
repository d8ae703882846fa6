// The in-app browser on a real depiction page served on 127.0.0.1: the request factory's
// headers, the progress bar, a link asking for a new window, "Open in Safari", and one
// web view however often the browser appears.
#include <gtest/gtest.h>

#include "PackagePageFixture.h"
#include "foundation/Files.h"
#include "package/WebViewViewController.h"
#include "uikit/UIApplication.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UIProgressView.h"
#include "webkit/WKWebView.h"

namespace {

class WebBrowserTest : public PackagePageFixture {
 protected:
  size_t webViews(UIViewController& screen) {
    size_t n = 0;
    for (const auto& v : screen.view()->subviews()) n += dynamic_cast<WKWebView*>(v.get()) != nullptr;
    return n;
  }
};

TEST_F(WebBrowserTest, APageLoadsThroughTheRequestFactoryAndNewWindowsOpenInPlace) {
  QB_TESTDATA_OR_SKIP(page, "repos/nepeta/depiction/me.nepeta.axon");
  TestHttpResponse html = TestHttpResponse::text(*Files::readText(page));
  html.contentType = "text/html";
  server.respond("/depiction/me.nepeta.axon", html);
  server.respond("/other", html);
  auto browser = std::make_shared<WebViewViewController>(screenContext(), server.url("/depiction/me.nepeta.axon"),
                                                         "Axon's website", true);
  ui.show(std::make_shared<UINavigationController>(browser));
  ASSERT_TRUE(waitFor([&] { return browser->webView() && browser->webView()->estimatedProgress() >= 1; }));
  ui.advance(1);
  auto requests = server.requestsTo("/depiction/me.nepeta.axon");
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].header("User-Agent").rfind("Quill/", 0), 0u) << requests[0].header("User-Agent");
  EXPECT_EQ(requests[0].header("X-Device-UUID"), "0000000000000000000000000000000000000000");
  EXPECT_TRUE(ui.screenShows("Axon's website")) << ui.screen();
  EXPECT_TRUE(browser->navigationItem().leftBarButtonItem()) << "presented: Close";
  // Loaded: the bar fades and the page takes the whole view.
  EXPECT_EQ(browser->progressView()->alpha(), 0);
  EXPECT_EQ(browser->progressView()->progress(), 0);
  EXPECT_EQ(browser->webView()->frame(), browser->view()->bounds());
  EXPECT_EQ(browser->webView()->configuration().applicationNameForUserAgent.rfind("(Quillbark/", 0), 0u);

  // A new window opens here, in the same web view.
  browser->webView()->navigateByPage(URLRequest(URL::fromString(server.url("/other"))), true);
  ASSERT_TRUE(waitFor([&] { return server.requestCount("/other") == 1 && !browser->webView()->isLoading(); }));
  EXPECT_EQ(browser->webView()->url()->absoluteString(), server.url("/other"));
  EXPECT_FALSE(UIApplication::sharedApplication().isNetworkActivityIndicatorVisible());
  EXPECT_EQ(webViews(*browser), 1u);

  // A back swipe begun and given up: the same web view, nothing loaded again.
  browser->beginAppearanceTransition(false, true);
  browser->beginAppearanceTransition(true, true);
  browser->endAppearanceTransition();
  ui.runUntilIdle();
  EXPECT_EQ(webViews(*browser), 1u);
  EXPECT_EQ(server.requestCount("/depiction/me.nepeta.axon"), 1u);

  ASSERT_TRUE(ui.tap("Open in Safari"));
  EXPECT_EQ(UIApplication::sharedApplication().openedURLs(),
            std::vector<std::string>{server.url("/depiction/me.nepeta.axon")});
  ASSERT_TRUE(ui.tap("Close"));
}

// A page whose server can't be reached says why where the page would be, and loads once
// more on "Try Again", once the server is there.
TEST_F(WebBrowserTest, APageOutOfReachSaysWhyAndLoadsAgain) {
  int port = 0;
  std::string address;
  {
    TestHttpServer gone;  // its port, closed once it goes
    port = gone.port();
    address = gone.url("/page");
  }
  auto browser = std::make_shared<WebViewViewController>(screenContext(), address, "Somewhere", false);
  ui.show(std::make_shared<UINavigationController>(browser));
  ASSERT_TRUE(waitFor([&] { return ui.screenShows("[Try Again]"); })) << ui.screen();
  EXPECT_TRUE(ui.screenShows("The page could not be opened: ")) << ui.screen();
  TestHttpServer back(TestHttpConnections::CloseEach, port);
  TestHttpResponse html = TestHttpResponse::text("<html><title>Here</title><body>Arrived</body></html>");
  html.contentType = "text/html";
  back.respond("/page", html);
  ASSERT_TRUE(ui.tap("Try Again"));
  ASSERT_TRUE(waitFor([&] { return ui.screenShows("Arrived"); })) << ui.screen();
  EXPECT_FALSE(ui.screenShows("Try Again")) << ui.screen();
}

}  // namespace
