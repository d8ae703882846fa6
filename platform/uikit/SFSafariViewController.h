#pragma once
// The platform's in-app browser view: shows a web address under a Done button that closes
// it and tells the delegate. Every browser view that has appeared is recorded, so tests
// can see which pages were opened. Nothing is loaded unless the view is asked to follow
// its page (the pages whose end the application waits for): then the page is followed
// as nobody touches it, and an address it leads to that is not on the web is opened by
// the system in the application, from "com.apple.SafariViewService".
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "uikit/UIViewController.h"

class SFSafariViewController;
class UIButton;
class WebPageFollower;

class SFSafariViewControllerDelegate {
 public:
  virtual ~SFSafariViewControllerDelegate() = default;
  // After the Done button closed the view.
  virtual void safariViewControllerDidFinish(SFSafariViewController&) {}
};

enum SFSafariViewControllerDismissButtonStyle : long {
  SFSafariViewControllerDismissButtonStyleDone = 0,
  SFSafariViewControllerDismissButtonStyleClose = 1,
  SFSafariViewControllerDismissButtonStyleCancel = 2,
};

class SFSafariViewController : public UIViewController {
 public:
  explicit SFSafariViewController(std::string url);
  ~SFSafariViewController() override;

  const std::string& url() const { return url_; }
  SFSafariViewControllerDelegate* delegate() const { return delegate_; }
  void setDelegate(SFSafariViewControllerDelegate* delegate) { delegate_ = delegate; }
  SFSafariViewControllerDismissButtonStyle dismissButtonStyle() const { return dismissStyle_; }
  void setDismissButtonStyle(SFSafariViewControllerDismissButtonStyle style);
  const std::optional<UIColor>& preferredBarTintColor() const { return barTint_; }
  void setPreferredBarTintColor(std::optional<UIColor> color) { barTint_ = std::move(color); }
  const std::optional<UIColor>& preferredControlTintColor() const { return controlTint_; }
  void setPreferredControlTintColor(std::optional<UIColor> color) { controlTint_ = std::move(color); }

  bool followsNavigation() const { return follows_; }
  void setFollowsNavigation(bool follows) { follows_ = follows; }
  // The page that waits on screen once a followed page has settled on one.
  const std::optional<std::string>& currentURL() const { return current_; }

  // A person's tap on the dismiss button: closes the view, then tells the delegate.
  void doneByUser();

  static const std::vector<std::string>& shownURLs();
  static void clearShownURLs();

  void loadView() override;
  void viewDidLayoutSubviews() override;
  void viewDidAppear(bool animated) override;
  void appendScreenText(std::vector<std::string>& lines) const override;

 private:
  std::string dismissTitle() const;
  std::string url_;
  SFSafariViewControllerDelegate* delegate_ = nullptr;
  SFSafariViewControllerDismissButtonStyle dismissStyle_ = SFSafariViewControllerDismissButtonStyleDone;
  std::optional<UIColor> barTint_, controlTint_;
  UIButton* dismissButton_ = nullptr;
  bool closing_ = false;
  bool follows_ = false;
  std::shared_ptr<WebPageFollower> follower_;
  std::optional<std::string> current_;
};
