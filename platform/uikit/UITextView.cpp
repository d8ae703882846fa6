#include "uikit/UITextView.h"

#include "uikit/UIScreenTextFormat.h"

void UITextView::setText(std::string text) {
  text_ = std::move(text);
  attributed_ = NSAttributedString(text_, NSTextAttributes{textColor_, std::nullopt, font_, std::nullopt});
}

void UITextView::setAttributedText(NSAttributedString text) {
  attributed_ = std::move(text);
  text_ = attributed_.string();
}

void UITextView::setTextViewDelegate(UITextViewDelegate* delegate) {
  delegate_ = delegate;
  setDelegate(delegate);
}

bool UITextView::becomeFirstResponder() {
  if (isFirstResponder()) return true;
  if (delegate_ && !delegate_->textViewShouldBeginEditing(*this)) return false;
  if (!UIScrollView::becomeFirstResponder()) return false;
  UIKeyboard::show();
  if (delegate_) delegate_->textViewDidBeginEditing(*this);
  return true;
}

bool UITextView::resignFirstResponder() {
  if (!isFirstResponder()) return true;
  UIScrollView::resignFirstResponder();
  UIKeyboard::hide();
  if (delegate_) delegate_->textViewDidEndEditing(*this);
  return true;
}

bool UITextView::typeByUser(const std::string& text) {
  if (!editable_ || !becomeFirstResponder()) return false;
  if (delegate_ && !delegate_->textViewShouldChangeTextInRange(*this, text_.size(), 0, text)) return false;
  attributed_.append(text, NSTextAttributes{textColor_, std::nullopt, font_, std::nullopt});
  text_ += text;
  if (delegate_) delegate_->textViewDidChange(*this);
  return true;
}

bool UITextView::tapLinkByUser(const std::string& url) {
  if (!selectable_) return false;
  return !delegate_ || delegate_->textViewShouldInteractWithURL(*this, url);
}

bool UITextView::appendScreenText(std::vector<std::string>& lines) const {
  if (!text_.empty() || editable_)
    lines.push_back(std::string(editable_ ? "text field: " : "") + UIScreenTextFormat::oneLine(text_, 400) +
                    (isFirstResponder() ? "_" : ""));
  return true;
}
