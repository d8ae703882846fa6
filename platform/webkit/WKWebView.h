#pragma once
// A WKWebView stand-in: it loads pages through the URL session (every header a request
// was given, and the process's cookies, reach the server), asks its navigation delegate
// before each navigation and each reply, reports progress, title and address to
// observers, sizes its scroll view's content to the page, and opens links a person
// taps. Pages are not rendered and scripts do not run; a table answers the scripts a
// screen evaluates. Every call belongs on the main thread, where every report arrives.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Error.h"
#include "foundation/ObserverList.h"
#include "foundation/Value.h"
#include "webkit/WKNavigationDelegate.h"
#include "webkit/WKUIDelegate.h"
#include "webkit/WKWebViewConfiguration.h"
#include "webkit/WebContentView.h"

class WKWebView : public WebContentView {
 public:
  enum class ObservedKey { EstimatedProgress, Title, URL, Loading, CanGoBack, CanGoForward };

  explicit WKWebView(CGRect frame = {}, WKWebViewConfiguration configuration = {});
  ~WKWebView() override;

  const WKWebViewConfiguration& configuration() const { return configuration_; }
  WKNavigationDelegate* navigationDelegate() const { return navigationDelegate_; }
  void setNavigationDelegate(WKNavigationDelegate* delegate) { navigationDelegate_ = delegate; }
  WKUIDelegate* UIDelegate() const { return uiDelegate_; }
  void setUIDelegate(WKUIDelegate* delegate) { uiDelegate_ = delegate; }

  std::shared_ptr<WKNavigation> loadRequest(const URLRequest& request);
  // The page from text; its links resolve against `baseURL`.
  std::shared_ptr<WKNavigation> loadHTMLString(const std::string& html, const std::optional<URL>& baseURL);
  std::shared_ptr<WKNavigation> reload();
  std::shared_ptr<WKNavigation> goBack();
  std::shared_ptr<WKNavigation> goForward();
  void stopLoading();

  std::optional<URL> url() const { return page().url; }
  const std::string& title() const { return page().summary.title; }
  // The user agent of requests that do not set their own: the platform's, then the
  // configuration's application name; a custom one replaces both.
  std::string userAgent() const;
  const std::optional<std::string>& customUserAgent() const { return customUserAgent_; }
  void setCustomUserAgent(std::optional<std::string> agent) { customUserAgent_ = std::move(agent); }

  // The answer of the script table (a string; null when the table has none), on the
  // next turn of the main loop.
  void evaluateJavaScript(const std::string& script, std::function<void(Value result, ErrorRef error)> completion = {});

  // Key-value observation: told after every change of the key's value, until the
  // token is dropped.
  [[nodiscard]] NotificationToken addObserver(ObservedKey key, std::function<void()> observer);

  // What the page's own script does: it sends the main frame to a request, or opens a
  // new window.
  void navigateByPage(const URLRequest& request, bool newWindow = false);

 protected:
  void linkActivated(const URLRequest& request, bool newWindow) override;
  void formSubmitted(const URLRequest& request) override;
  void loadingDidChange() override { notify(ObservedKey::Loading); }
  void progressDidChange() override { notify(ObservedKey::EstimatedProgress); }

 private:
  struct Pending;
  std::shared_ptr<WKNavigation> navigate(WKNavigationAction action, HistoryMode mode, long offset,
                                         std::optional<std::string> html = std::nullopt);
  void decideAction(const std::shared_ptr<Pending>& pending);
  void begin(const std::shared_ptr<Pending>& pending);
  void replyArrived(const std::shared_ptr<Pending>& pending, const WebPageLoad::Result& result);
  void commit(const std::shared_ptr<Pending>& pending, WebPage page);
  void fail(const std::shared_ptr<Pending>& pending, ErrorRef error);
  void notify(ObservedKey key);

  WKWebViewConfiguration configuration_;
  WKNavigationDelegate* navigationDelegate_ = nullptr;
  WKUIDelegate* uiDelegate_ = nullptr;
  std::optional<std::string> customUserAgent_;
  ObserverList<ObservedKey> observers_;
  std::shared_ptr<Pending> current_;
  uint64_t nextNavigation_ = 1;
};
