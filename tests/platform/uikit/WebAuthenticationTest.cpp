// Pages followed as nobody touches them: redirects and refresh declarations lead on to
// an address of another scheme, which the authentication session hands its completion
// and a browser view hands the application.
#include <gtest/gtest.h>

#include "foundation/RunLoop.h"
#include "support/TestHttpServer.h"
#include "uikit/SFAuthenticationSession.h"
#include "uikit/SFSafariViewController.h"
#include "uikit/UIApplication.h"
#include "uikit/UIWindow.h"
#include "uikit/WebPageFollower.h"

namespace {

TestHttpResponse html(const std::string& body) {
  TestHttpResponse page = TestHttpResponse::text(body);
  page.contentType = "text/html";
  return page;
}

std::string refreshTo(const std::string& content) {
  return "<html><head><meta http-equiv=\"Refresh\" content=\"" + content + "\"></head></html>";
}

}  // namespace

TEST(WebPageFollower, RefreshDeclarationsAreReadAsBrowsersReadThem) {
  auto target = [](const std::string& html) { return WebPageFollower::refreshTarget(html).value_or("<none>"); };
  EXPECT_EQ(target("<meta http-equiv=\"refresh\" content=\"0; URL='sileo://a?x=1&amp;y=2'\">"), "sileo://a?x=1&y=2");
  EXPECT_EQ(target("<META HTTP-EQUIV=refresh CONTENT=\"5;url=next.html\">"), "next.html");
  EXPECT_EQ(target("<meta content='1, https://a.example/b ' http-equiv='REFRESH'/>"), "https://a.example/b");
  EXPECT_EQ(target("<meta http-equiv=\"refresh\" content=\"0;  url = \"\">"), "<none>") << "only reloads itself";
  EXPECT_EQ(target("<meta http-equiv=\"refresh\" content=\"3\">"), "<none>");
  EXPECT_EQ(target("<meta http-equiv=\"refresh\" content=\"soon; url=x\">"), "<none>") << "no time, no refresh";
  EXPECT_EQ(target("<meta name=\"refresh\" content=\"0; url=x\"><metadata>"), "<none>");
  EXPECT_EQ(target("<meta charset=\"utf-8\"><meta http-equiv=\"refresh\" content=\"0;x.html\">"), "x.html");
  EXPECT_EQ(target("<meta http-equiv=\"refresh\" content=\"0;url='unclosed"), "unclosed");
  EXPECT_EQ(target("<meta"), "<none>");
  EXPECT_EQ(target(""), "<none>");
}

TEST(WebAuthenticationSession, RedirectsAndRefreshesLeadToTheCallbackAddress) {
  TestHttpServer server;
  server.redirect("/start", "/hop");
  server.respond("/hop", html(refreshTo("0; URL='sileo://authentication_success?token=t&payment_secret=s'")));
  SFAuthenticationSession::clearStartedURLs();
  std::optional<URL> received;
  int calls = 0;
  auto session = std::make_shared<SFAuthenticationSession>(
      *URL::fromString(server.url("/start?udid=1")), "sileo", [&](std::optional<URL> url, ErrorRef error) {
        ++calls;
        received = url;
        EXPECT_EQ(error, nullptr);
      });
  ASSERT_TRUE(session->start());
  EXPECT_FALSE(session->start()) << "a session starts once";
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return calls > 0; }, 20));
  ASSERT_TRUE(received);
  EXPECT_EQ(received->absoluteString(), "sileo://authentication_success?token=t&payment_secret=s");
  EXPECT_EQ(server.requestsTo("/start")[0].query, "udid=1");
  EXPECT_EQ(SFAuthenticationSession::startedURLs(), std::vector<std::string>{server.url("/start?udid=1")});
  session->cancel();
  EXPECT_EQ(calls, 1) << "a finished session reports nothing more";
}

TEST(WebAuthenticationSession, APageThatWaitsForAPersonKeepsItOpenUntilCancelled) {
  TestHttpServer server;
  server.respond("/signin", html("<a href=\"/fake\">Sign in</a>"));
  server.respond("/other", html(refreshTo("0;url=mailto:someone@example.com")));
  server.redirect("/loop", "/loop");
  for (const char* path : {"/signin", "/other", "/loop"}) {
    int calls = 0;
    ErrorRef error;
    auto session = std::make_shared<SFAuthenticationSession>(*URL::fromString(server.url(path)), "sileo",
                                                             [&](std::optional<URL> url, ErrorRef e) {
                                                               ++calls;
                                                               EXPECT_FALSE(url);
                                                               error = e;
                                                             });
    session->start();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return session->currentURL().has_value(); }, 20)) << path;
    EXPECT_EQ(calls, 0) << path;
    session->cancel();
    EXPECT_EQ(calls, 1);
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->domain, SFAuthenticationErrorDomain);
    EXPECT_EQ(error->code, SFAuthenticationErrorCanceledLogin);
  }
  EXPECT_LE(server.requestCount("/loop"), size_t(WebPageFollower::kMaximumSteps)) << "a loop ends";
}

namespace {
class OpenedURLs : public UIApplicationDelegate {
 public:
  std::vector<std::string> opened;
  bool applicationOpenURL(UIApplication&, const std::string& url, const Value& options) override {
    opened.push_back(url + " from " + options[UIApplicationOpenURLOptionsSourceApplicationKey].asString());
    return true;
  }
};
}  // namespace

TEST(WebAuthenticationSession, AFollowingBrowserViewHandsTheApplicationWhereThePageLeads) {
  TestHttpServer server;
  server.respond("/pay", html(refreshTo("0;url=sileo://payment_completed")));
  OpenedURLs delegate;
  UIApplication::sharedApplication().setDelegate(&delegate);
  auto window = std::make_shared<UIWindow>();
  window->setRootViewController(std::make_shared<UIViewController>());
  window->makeKeyAndVisible();

  auto plain = std::make_shared<SFSafariViewController>(server.url("/pay"));
  window->rootViewController()->presentViewController(plain, false);
  RunLoop::main().runUntilIdle();
  EXPECT_EQ(server.requestCount("/pay"), 0u) << "a browser view that is not asked to follow loads nothing";
  plain->doneByUser();
  RunLoop::main().runUntilIdle();

  auto sheet = std::make_shared<SFSafariViewController>(server.url("/pay"));
  sheet->setFollowsNavigation(true);
  window->rootViewController()->presentViewController(sheet, false);
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return !delegate.opened.empty(); }, 20));
  EXPECT_EQ(delegate.opened, std::vector<std::string>{"sileo://payment_completed from com.apple.SafariViewService"});
  EXPECT_EQ(sheet->currentURL(), "sileo://payment_completed");

  UIApplication::sharedApplication().setDelegate(nullptr);
  window->setRootViewController(nullptr);
  RunLoop::main().runUntilIdle();
}
