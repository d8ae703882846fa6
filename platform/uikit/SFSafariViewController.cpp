#include "uikit/SFSafariViewController.h"

#include "uikit/UIButton.h"
#include "uikit/UIScreen.h"
#include "uikit/UIScreenTextFormat.h"

namespace {
std::vector<std::string>& shown() {
  static std::vector<std::string> urls;
  return urls;
}
}  // namespace

SFSafariViewController::SFSafariViewController(std::string url) : url_(std::move(url)) {}

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

void SFSafariViewController::viewDidAppear(bool animated) {
  UIViewController::viewDidAppear(animated);
  shown().push_back(url_);
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
