#pragma once
// The platform's in-app browser view: shows a web address (nothing is loaded here) under
// a Done button that closes it and tells the delegate. Every browser view that has
// appeared is recorded, so tests can see which pages were opened.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "uikit/UIViewController.h"

class SFSafariViewController;
class UIButton;

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

  const std::string& url() const { return url_; }
  SFSafariViewControllerDelegate* delegate() const { return delegate_; }
  void setDelegate(SFSafariViewControllerDelegate* delegate) { delegate_ = delegate; }
  SFSafariViewControllerDismissButtonStyle dismissButtonStyle() const { return dismissStyle_; }
  void setDismissButtonStyle(SFSafariViewControllerDismissButtonStyle style);
  const std::optional<UIColor>& preferredBarTintColor() const { return barTint_; }
  void setPreferredBarTintColor(std::optional<UIColor> color) { barTint_ = std::move(color); }
  const std::optional<UIColor>& preferredControlTintColor() const { return controlTint_; }
  void setPreferredControlTintColor(std::optional<UIColor> color) { controlTint_ = std::move(color); }

  // A person's tap on the dismiss button: closes the view, then tells the delegate.
  void doneByUser();

  static const std::vector<std::string>& shownURLs();
  static void clearShownURLs();

  void loadView() override;
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
};
