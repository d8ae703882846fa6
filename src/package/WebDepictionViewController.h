#pragma once
// A package's page as its repository publishes it: the web depiction at the package's
// website, under a native header with the package's icon, name, maintainer, size,
// version and category and the Get and Share buttons. Opened instead of the native page
// for a package whose source shows its original depictions (KVScreens::package).
//
// The page is asked for with one request kept for the screen's life, which tells the
// server the device (its identifier twice, model, firmware), the preferred language,
// the payment support and the light or dark appearance ("User-Agent" ending "Light" or
// "Dark", and "Dark: TRUE" in dark mode); a palette change between light and dark sets
// those headers again and loads the page again. The web view is made on the first
// appearance; the page grows the screen to its whole height, so page and header scroll
// as one. Links that want a new window open in place.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/NotificationToken.h"
#include "foundation/URLRequest.h"
#include "interface/KVPalettedViewController.h"
#include "interface/KVScreenContext.h"
#include "uikit/SFSafariViewController.h"
#include "webkit/WKNavigationDelegate.h"
#include "webkit/WKUIDelegate.h"
#include "webkit/WKWebViewConfiguration.h"

class NSLayoutConstraint;
class UIButton;
class UIGestureRecognizer;
class UIImageView;
class UILabel;
class UIProgressView;
class UIScrollView;
class WKWebView;

class WebDepictionViewController : public KVPalettedViewController,
                                   public WKNavigationDelegate,
                                   public WKUIDelegate,
                                   public SFSafariViewControllerDelegate {
 public:
  // The views of the screen's interface file.
  struct Outlets {
    UIProgressView* progressView = nullptr;
    UIScrollView* scrollView = nullptr;
    UIView* containerView = nullptr;
    UIImageView* iconView = nullptr;
    UILabel* nameLbl = nullptr;
    UILabel* maintainerLbl = nullptr;
    UIButton* getBtn = nullptr;
    UIButton* shareBtn = nullptr;
    UILabel* sizeLbl = nullptr;
    UILabel* versionLbl = nullptr;
    UILabel* categoryLbl = nullptr;
    UILabel* packageSizeLbl = nullptr;
    UILabel* packageVersionLbl = nullptr;
    UILabel* packageCategoryLbl = nullptr;
    UIView* placeholderView = nullptr;
    UIView* webViewContainer = nullptr;
    std::shared_ptr<NSLayoutConstraint> iconViewWidthConstraint, iconViewHeightConstraint;
    std::shared_ptr<NSLayoutConstraint> getBtnWidthConstraint;
    std::shared_ptr<NSLayoutConstraint> getBtnTopConstraintToIconView, getBtnTopConstraintToMaintainerLbl;
    std::shared_ptr<NSLayoutConstraint> shareBtnTopConstraintToIconView, shareBtnTopConstraintToMaintainerLbl;
    std::shared_ptr<NSLayoutConstraint> placeholderViewBottomConstraint;
    std::shared_ptr<NSLayoutConstraint> webViewContainerHeightConstraint;
  };

  WebDepictionViewController(KVScreenContext context, std::string packageIdentifier, std::string websiteURL,
                             bool isPresented = false);
  ~WebDepictionViewController() override;

  // ---- Inputs
  const std::string& websiteURL() const { return websiteURL_; }
  const std::string& packageIdentifier() const { return packageIdentifier_; }
  bool isPresented() const { return isPresented_; }

  // ---- State
  const Outlets& outlets() const { return outlets_; }
  // The page request; nothing before the view loads.
  const std::optional<URLRequest>& pageRequest() const { return request_; }
  bool firstAppear() const { return firstAppear_; }
  WKWebView* webView() const { return webView_.get(); }
  // What the web view adds to its user agent, as the mode gives it.
  const WKWebViewConfiguration& webViewConfiguration() const { return configuration_; }

  // ---- Lifecycle
  void loadView() override;
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void viewDidAppear(bool animated) override;
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;

  // ---- Actions
  void getPackage(UIButton* sender);
  void presentOptions(UIGestureRecognizer* recognizer);
  void sharePackage(UIButton* sender);
  void openInSafari();
  void dismissVC();
  // Sets the request's and the configuration's light or dark marks, and loads the page
  // again once the web view is there.
  void setModeForRequest();

  // ---- The web view's questions (every navigation and reply is allowed, as by default)
  void didFinishNavigation(WKWebView&, const WKNavigation*) override;
  std::shared_ptr<WKWebView> createWebViewWithConfiguration(WKWebView& webView, const WKWebViewConfiguration&,
                                                           const WKNavigationAction& action) override;

 private:
  std::weak_ptr<WebDepictionViewController> weakSelf();
  void buildHeader(UIView* content, double width);
  void fillHeader();
  void layoutHeader(bool infoJson);
  void updateGetButtonTitle();
  void progressChanged();
  void contentSizeChanged(double height);

  KVScreenContext context_;
  std::string packageIdentifier_;
  std::string websiteURL_;
  bool isPresented_ = false;

  Outlets outlets_;
  std::optional<URLRequest> request_;
  WKWebViewConfiguration configuration_;
  bool firstAppear_ = true;
  std::shared_ptr<WKWebView> webView_;
  std::vector<NotificationToken> observations_;
};
