// A package's web depiction as its screen shows it: one page request kept for the
// screen's life whose mode headers change between light and dark, the page loaded again
// with each change, the page's height given to its container, and a person reading and
// following the page.
#include <gtest/gtest.h>

#include "foundation/RunLoop.h"
#include "support/TestHttpServer.h"
#include "support/UIDriver.h"
#include "webkit/WKWebView.h"

namespace {
class Depiction : public UIViewController, public WKNavigationDelegate {
 public:
  explicit Depiction(std::string address) : address_(std::move(address)) {}
  std::shared_ptr<WKWebView> web;
  std::shared_ptr<NSLayoutConstraint> containerHeight;
  std::vector<NotificationToken> tokens;
  int finished = 0;
  void viewDidLoad() override {
    request_ = URLRequest(URL::fromString(address_));
    request_.setValue("0123456789abcdef", "X-Cydia-ID");
    request_.setValue("0123456789abcdef", "X-Unique-ID");
    request_.setValue("iPhone10,3", "X-Machine");
    request_.setValue("API", "Payment-Provider");
    setDark(false);
  }
  void viewDidAppear(bool) override {
    if (web) return;
    WKWebViewConfiguration configuration;
    configuration.applicationNameForUserAgent = "(Quillbark/5.0, like Cydia) (iPhone; iOS/14.4) Light";
    auto container = std::make_shared<UIView>(CGRect::make(0, 200, 375, 10));
    container->setTranslatesAutoresizingMaskIntoConstraints(false);  // its height comes from the page
    view()->addSubview(container);
    web = std::make_shared<WKWebView>(container->bounds(), configuration);
    web->setNavigationDelegate(this);
    web->scrollView()->setScrollEnabled(false);
    container->addSubview(web);
    containerHeight = container->heightAnchor().constraintEqualToConstant(10);
    containerHeight->setActive(true);
    tokens.push_back(web->scrollView()->addContentSizeObserver([this](CGSize size) { containerHeight->setConstant(size.height); }));
    web->loadRequest(request_);
  }
  // The mode headers; a web view already there loads the page again.
  void setDark(bool dark) {
    request_.setValue(std::string("Telesphoreo APT-HTTP/1.0.592 ") + (dark ? "Dark" : "Light"), "User-Agent");
    request_.setValue(dark ? std::optional<std::string>("TRUE") : std::nullopt, "Dark");
    if (web) web->loadRequest(request_);
  }
  void didFinishNavigation(WKWebView&, const WKNavigation*) override { ++finished; }

 private:
  std::string address_;
  URLRequest request_;
};

class DepictionScreenTest : public ::testing::Test {
 protected:
  void waitForFinish(int count) {
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return screen->finished >= count; }, 10));
    ui.runUntilIdle();
  }
  TestHttpServer server;
  UIDriver ui;
  std::shared_ptr<Depiction> screen = std::make_shared<Depiction>(server.url("/depiction/snowboard"));
};
}  // namespace

TEST_F(DepictionScreenTest, ModeChangesReloadTheOneRequestWithNewHeaders) {
  server.respond("/depiction/snowboard", TestHttpResponse::text("<title>Snowboard</title><p>" + std::string(4000, 'x') +
                                                                "</p><a href='changelog'>Changelog</a>"));
  server.respond("/depiction/changelog", TestHttpResponse::text("<title>Changelog</title><p>1.4: fixes</p>"));
  ui.show(screen);
  waitForFinish(1);
  auto first = server.requestsTo("/depiction/snowboard").at(0);
  EXPECT_EQ(first.header("User-Agent"), "Telesphoreo APT-HTTP/1.0.592 Light");
  EXPECT_FALSE(first.hasHeader("Dark"));
  EXPECT_EQ(first.header("X-Cydia-ID"), first.header("X-Unique-ID"));
  EXPECT_EQ(first.header("Payment-Provider"), "API");
  // The container takes the page's height and lays out to it.
  EXPECT_EQ(screen->containerHeight->constant(), screen->web->scrollView()->contentSize().height);
  EXPECT_EQ(screen->web->superview()->frame().height(), screen->containerHeight->constant());
  EXPECT_GT(screen->containerHeight->constant(), 100);

  screen->setDark(true);
  waitForFinish(2);
  auto second = server.requestsTo("/depiction/snowboard").at(1);
  EXPECT_EQ(second.header("User-Agent"), "Telesphoreo APT-HTTP/1.0.592 Dark");
  EXPECT_EQ(second.header("Dark"), "TRUE");
  screen->setDark(false);
  waitForFinish(3);
  EXPECT_FALSE(server.requestsTo("/depiction/snowboard").at(2).hasHeader("Dark")) << "light removes the header again";

  // A person reads the page and follows its link.
  EXPECT_TRUE(ui.screenShows("web page: Snowboard (" + server.url("/depiction/snowboard") + ")\n")) << ui.screen();
  EXPECT_TRUE(ui.screenShows("links: [Changelog]"));
  ASSERT_TRUE(ui.tap("Changelog"));
  waitForFinish(4);
  EXPECT_EQ(screen->web->title(), "Changelog");
  EXPECT_TRUE(ui.screenShows("  1.4: fixes\n"));
}
