#include "uikit/UIActivityViewController.h"

#include <algorithm>

#include "uikit/UIDevice.h"
#include "uikit/UIScreenTextFormat.h"

namespace {
std::vector<std::shared_ptr<UIActivityViewController>>& sheets() {
  static std::vector<std::shared_ptr<UIActivityViewController>> s;
  return s;
}
}  // namespace

UIActivityViewController::UIActivityViewController(std::vector<UIActivityItem> items) : items_(std::move(items)) {
  setModalPresentationStyle(UIModalPresentationPopover);
}

const std::vector<std::shared_ptr<UIActivityViewController>>& UIActivityViewController::shownSheets() { return sheets(); }
void UIActivityViewController::clearShownSheets() { sheets().clear(); }

UIModalPresentationStyle UIActivityViewController::effectivePresentationStyle() const {
  if (UIDevice::currentDevice().userInterfaceIdiom() == UIUserInterfaceIdiomPad) return modalPresentationStyle();
  return UIModalPresentationOverFullScreen;
}

void UIActivityViewController::viewDidAppear(bool animated) {
  UIViewController::viewDidAppear(animated);
  auto self = std::static_pointer_cast<UIActivityViewController>(shared_from_this());
  if (std::find(sheets().begin(), sheets().end(), self) == sheets().end()) sheets().push_back(self);
}

void UIActivityViewController::finish(std::optional<std::string> type, bool completed) {
  if (finished_) return;
  finished_ = true;
  auto self = std::static_pointer_cast<UIActivityViewController>(shared_from_this());
  dismissViewControllerAnimated(true, [self, type, completed] {
    if (self->completion_) self->completion_(type, completed);
  });
}

bool UIActivityViewController::performActivityByUser(const std::string& activityType) {
  if (std::find(excluded_.begin(), excluded_.end(), activityType) != excluded_.end()) return false;
  finish(activityType, true);
  return true;
}

void UIActivityViewController::cancelByUser() { finish(std::nullopt, false); }

void UIActivityViewController::appendScreenText(std::vector<std::string>& lines) const {
  lines.push_back("share sheet" + (title().empty() ? std::string() : ": " + title()));
  for (auto& item : items_) {
    if (item.kind == UIActivityItem::Image) lines.push_back("  image " + (item.image ? item.image->description() : ""));
    else lines.push_back("  " + UIScreenTextFormat::oneLine(item.text, 400));
  }
  lines.push_back("[Close]");
}
