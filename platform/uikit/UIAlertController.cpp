#include "uikit/UIAlertController.h"

#include "uikit/UIDevice.h"
#include "uikit/UIScreenTextFormat.h"

std::shared_ptr<UIAlertAction> UIAlertAction::actionWithTitle(std::string title, UIAlertActionStyle style, Handler handler) {
  auto a = std::make_shared<UIAlertAction>();
  a->title_ = std::move(title);
  a->style_ = style;
  a->handler_ = std::move(handler);
  return a;
}

std::shared_ptr<UIAlertController> UIAlertController::alertControllerWithTitle(std::optional<std::string> title,
                                                                               std::optional<std::string> message,
                                                                               UIAlertControllerStyle style) {
  auto a = std::make_shared<UIAlertController>();
  a->alertTitle_ = title;
  if (title) a->setTitle(*title);
  a->message_ = std::move(message);
  a->style_ = style;
  bool pad = UIDevice::currentDevice().userInterfaceIdiom() == UIUserInterfaceIdiomPad;
  a->setModalPresentationStyle(style == UIAlertControllerStyleActionSheet && pad ? UIModalPresentationPopover
                                                                                 : UIModalPresentationCustom);
  return a;
}

UIModalPresentationStyle UIAlertController::effectivePresentationStyle() const {
  auto style = modalPresentationStyle();
  if (style == UIModalPresentationPopover && UIDevice::currentDevice().userInterfaceIdiom() != UIUserInterfaceIdiomPad)
    return UIModalPresentationCustom;
  return style == UIModalPresentationAutomatic ? UIModalPresentationCustom : style;
}

void UIAlertController::addAction(std::shared_ptr<UIAlertAction> action) {
  UI_MAIN_THREAD_ONLY();
  if (action) actions_.push_back(std::move(action));
}

void UIAlertController::addTextFieldWithConfigurationHandler(const std::function<void(UITextField&)>& configure) {
  auto field = std::make_shared<UITextField>();
  if (configure) configure(*field);
  textFields_.push_back(field);
  view()->addSubview(field);
}

bool UIAlertController::chooseActionByUser(const std::string& title) {
  if (chosen_) return false;
  for (auto& action : actions_) {
    if (action->title() != title || !action->isEnabled()) continue;
    chosen_ = true;
    auto self = std::static_pointer_cast<UIAlertController>(shared_from_this());
    dismissViewControllerAnimated(true, [action, self] {
      if (action->handler()) action->handler()(*action);
    });
    return true;
  }
  return false;
}

void UIAlertController::appendScreenText(std::vector<std::string>& lines) const {
  lines.push_back(std::string(style_ == UIAlertControllerStyleAlert ? "alert" : "action sheet") +
                  (alertTitle_ ? ": " + UIScreenTextFormat::oneLine(*alertTitle_) : ""));
  if (message_ && !message_->empty()) lines.push_back(UIScreenTextFormat::oneLine(*message_, 400));
  for (auto& f : textFields_) f->appendScreenText(lines);
  std::string buttons;
  for (auto& a : actions_) {
    buttons += (buttons.empty() ? "" : "  ") + std::string("[") + a->title() + "]";
    if (a->style() == UIAlertActionStyleCancel) buttons += " (cancel)";
    if (a->style() == UIAlertActionStyleDestructive) buttons += " (destructive)";
    if (!a->isEnabled()) buttons += " (disabled)";
  }
  if (!buttons.empty()) lines.push_back(buttons);
}
