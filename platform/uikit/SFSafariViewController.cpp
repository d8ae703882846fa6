#include "uikit/SFSafariViewController.h"

#include "uikit/UIApplication.h"
#include "uikit/UIButton.h"
#include "uikit/UIScreen.h"
#include "uikit/UIScreenTextFormat.h"
#include "uikit/WebPageFollower.h"

namespace {
std::vector<std::string>& shown() {
  static std::vector<std::string> urls;
  return urls;
}
}  // namespace

SFSafariViewController::SFSafariViewController(std::string url) : url_(std::move(url)) {}

SFSafariViewController::~SFSafariViewController() {
  if (follower_) follower_->cancel();
}

std::string SFSafariViewController::dismissTitle() const {
  switch (dismissStyle_) {
    case SFSafariViewControllerDismissButtonStyleClose: return "Close";
    case SFSafariViewControllerDismissButtonStyleCancel: return "Cancel";
    default: return "Done";
  }
}

void SFSafariViewController::setDismissButtonStyle(SFSafariViewControllerDismissButtonStyle style) {
  dismissStyle_ = style;
  if (dismissButton_) dismissButton_->setTitle(dismissTitle());
}

void SFSafariViewController::loadView() {
  UIViewController::loadView();
  auto button = UIButton::buttonWithType(UIButtonTypeSystem);
  button->setTitle(dismissTitle());
  button->setFrame(CGRect::make(8, UIScreen::mainScreen().safeAreaInsets().top, 80, 44));
  button->addTarget(this, [this](UIControl&) { doneByUser(); }, UIControlEventTouchUpInside);
  view()->addSubview(button);
  dismissButton_ = button.get();
}

void SFSafariViewController::viewDidLayoutSubviews() {
  UIViewController::viewDidLayoutSubviews();
  // Under the status bar on a full screen, at the top of a sheet.
  if (dismissButton_) dismissButton_->setFrame(CGRect::make(8, view()->safeAreaInsets().top, 80, 44));
}

void SFSafariViewController::viewDidAppear(bool animated) {
  UIViewController::viewDidAppear(animated);
  shown().push_back(url_);
  auto start = URL::fromString(url_);
  if (!follows_ || follower_ || !start) return;
  std::weak_ptr<SFSafariViewController> weak = std::static_pointer_cast<SFSafariViewController>(shared_from_this());
  follower_ = WebPageFollower::follow(*start, [weak](const WebPageFollower::Outcome& outcome) {
    auto self = weak.lock();
    if (!self) return;
    if (outcome.url) self->current_ = outcome.url->absoluteString();
    if (outcome.end == WebPageFollower::End::LeftTheWeb && outcome.url)
      UIApplication::sharedApplication().deliverOpenURL(outcome.url->absoluteString(), "com.apple.SafariViewService");
  });
}

void SFSafariViewController::doneByUser() {
  if (closing_) return;
  closing_ = true;
  auto self = std::static_pointer_cast<SFSafariViewController>(shared_from_this());
  dismissViewControllerAnimated(true, [self] {
    self->closing_ = false;
    if (self->delegate_) self->delegate_->safariViewControllerDidFinish(*self);
  });
}

const std::vector<std::string>& SFSafariViewController::shownURLs() { return shown(); }
void SFSafariViewController::clearShownURLs() { shown().clear(); }

void SFSafariViewController::appendScreenText(std::vector<std::string>& lines) const {
  lines.push_back("browser: " + UIScreenTextFormat::oneLine(url_));
}
