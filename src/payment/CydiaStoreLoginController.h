#pragma once
// The outside store's account pages in a web view, with Done, back, forward and
// refresh (stop while a page loads). It watches the traffic: when the store signs the
// user out, every package bought there is unmarked; when an account page has loaded,
// the store's purchases page is fetched and the packages it links are marked bought
// there. The sign-in state is kept in the preference "cydiaStoreIsSignedIn" and every
// change announced by "CydiaStoreSigninStatusDidChange". The store's screen presents
// it in a navigation controller of its own.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/URL.h"
#include "interface/KVPalettedViewController.h"
#include "webkit/UIWebView.h"

class CydiaStoreLoginWebView;
class KVRequestFailureView;
class UIBarButtonItem;

class CydiaStoreLoginController : public KVPalettedViewController, public UIWebViewDelegate {
 public:
  // The store's account page.
  CydiaStoreLoginController();
  // Another first page, as a URL or as text (nothing loads when the text is no URL).
  explicit CydiaStoreLoginController(URL url);
  explicit CydiaStoreLoginController(const std::string& address);
  ~CydiaStoreLoginController() override;

  const std::optional<URL>& url() const { return url_; }
  CydiaStoreLoginWebView* webView() const { return webView_.get(); }
  // The identifiers the last purchases page with package links named (kept until the
  // store signs the user out).
  const std::vector<std::string>& purchaseIdentifiers() const { return purchaseIdentifiers_; }
  // How many purchases pages this screen has read (failed fetches are not counted).
  size_t purchasesPagesRead() const { return purchasesPagesRead_; }

  void loadView() override;
  void viewDidLoad() override;
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;

  bool webViewShouldStartLoadWithRequest(UIWebView& webView, URLRequest& request, UIWebViewNavigationType type) override;
  void webViewDidStartLoad(UIWebView& webView) override;
  void webViewDidFinishLoad(UIWebView& webView) override;
  void webViewDidFailLoadWithError(UIWebView& webView, ErrorRef error) override;
  void viewDidLayoutSubviews() override;
  // Why the page could not be loaded, and "Try Again"; hidden while there is no failure.
  KVRequestFailureView* failureView() const { return failureView_.get(); }

  void refresh();
  void goBack();
  void goForward();
  void cancel();
  void dismiss();

  // The identifiers the package links of a purchases page name, in order (duplicates
  // kept); nothing when the page has no package link at all.
  static std::optional<std::vector<std::string>> packageIdentifiersInPage(const std::string& page);

 private:
  void updateHistoryButtons();
  void fetchPurchases();
  void purchasesPageRead(std::optional<std::vector<std::string>> identifiers);

  std::optional<URL> url_;
  std::vector<std::string> purchaseIdentifiers_;
  size_t purchasesPagesRead_ = 0;
  std::shared_ptr<CydiaStoreLoginWebView> webView_;
  std::shared_ptr<KVRequestFailureView> failureView_;
  // The page asked for last: loaded again when its load failed.
  std::optional<URLRequest> lastRequest_;
  std::shared_ptr<UIBarButtonItem> backwardButton_, forwardButton_, refreshButton_, stopButton_;
};
