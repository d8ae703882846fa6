#include "uikit/UITextField.h"

#include "foundation/NotificationCenter.h"
#include "foundation/StringEncoding.h"
#include "uikit/UIScreenTextFormat.h"

void UITextField::setAttributedPlaceholder(std::optional<NSAttributedString> p) {
  attributedPlaceholder_ = std::move(p);
  if (attributedPlaceholder_) placeholder_ = attributedPlaceholder_->string();
}

bool UITextField::becomeFirstResponder() {
  if (isFirstResponder()) return true;
  if (delegate_ && !delegate_->textFieldShouldBeginEditing(*this)) return false;
  if (!UIControl::becomeFirstResponder()) return false;
  UIKeyboard::show();
  if (delegate_) delegate_->textFieldDidBeginEditing(*this);
  sendActionsForControlEvents(UIControlEventEditingDidBegin);
  return true;
}

bool UITextField::resignFirstResponder() {
  if (!isFirstResponder()) return true;
  if (delegate_ && !delegate_->textFieldShouldEndEditing(*this)) return false;
  UIControl::resignFirstResponder();
  UIKeyboard::hide();
  if (delegate_) delegate_->textFieldDidEndEditing(*this);
  sendActionsForControlEvents(UIControlEventEditingDidEnd);
  return true;
}

bool UITextField::typeByUser(const std::string& text) {
  if (!isEnabled() || !becomeFirstResponder()) return false;
  if (delegate_ && !delegate_->textFieldShouldChangeCharactersInRange(*this, {utf16FromUTF8(text_).size(), 0}, text))
    return false;
  text_ += text;
  sendActionsForControlEvents(UIControlEventEditingChanged);
  NotificationCenter::defaultCenter().post("UITextFieldTextDidChangeNotification");
  return true;
}

bool UITextField::clearByUser() {
  if (delegate_ && !delegate_->textFieldShouldClear(*this)) return false;
  text_.clear();
  sendActionsForControlEvents(UIControlEventEditingChanged);
  return true;
}

void UITextField::returnByUser() {
  bool proceed = !delegate_ || delegate_->textFieldShouldReturn(*this);
  if (proceed) sendActionsForControlEvents(UIControlEventEditingDidEndOnExit | UIControlEventPrimaryActionTriggered);
}

bool UITextField::appendScreenText(std::vector<std::string>& lines) const {
  // A password shows one star per character, not per byte.
  std::string shown = secure_ ? std::string(utf16FromUTF8(text_).size(), '*') : UIScreenTextFormat::oneLine(text_);
  lines.push_back("field \"" + placeholder_ + "\": " + shown + (isFirstResponder() ? "_" : ""));
  return true;
}
