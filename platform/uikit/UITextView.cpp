#include "uikit/UITextView.h"

#include "uikit/UIApplication.h"
#include "uikit/UIScreenTextFormat.h"

void UITextView::setText(std::string text) {
  UI_MAIN_THREAD_ONLY();
  text_ = std::move(text);
  attributed_ = NSAttributedString(text_, typingAttributes());
}

NSTextAttributes UITextView::typingAttributes() const {
  NSTextAttributes a;
  a.foregroundColor = textColor_;
  a.font = font_;
  return a;
}

void UITextView::setAttributedText(NSAttributedString text) {
  UI_MAIN_THREAD_ONLY();
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

bool UITextView::typeByUser(const std::string& text) { return replaceByUser({attributed_.length(), 0}, text); }

bool UITextView::replaceByUser(NSRange range, const std::string& text) {
  if (!editable_ || range.end() > attributed_.length() || !becomeFirstResponder()) return false;
  if (delegate_ && !delegate_->textViewShouldChangeTextInRange(*this, range, text)) return false;
  if (attributed_.empty()) attributed_ = NSAttributedString(text, typingAttributes());
  else attributed_.replaceCharactersInRange(range, text);
  text_ = attributed_.string();
  if (delegate_) delegate_->textViewDidChange(*this);
  return true;
}

bool UITextView::tapLinkByUser(const std::string& linkOrText) {
  if (!selectable_) return false;
  for (auto& [range, url] : attributed_.links()) {
    if (url != linkOrText && attributed_.substringWithRange(range) != linkOrText) continue;
    if (!delegate_ || delegate_->textViewShouldInteractWithURL(*this, url, range))
      UIApplication::sharedApplication().openURL(url);
    return true;
  }
  return false;
}

std::vector<UIViewTapTarget> UITextView::tapTargets() {
  std::vector<UIViewTapTarget> out;
  if (!selectable_) return out;
  for (auto& [range, url] : attributed_.links()) {
    std::string text = attributed_.substringWithRange(range);
    out.push_back({text, [this, text] { return tapLinkByUser(text); }});
  }
  return out;
}

bool UITextView::appendScreenText(std::vector<std::string>& lines) const {
  if (!text_.empty() || editable_)
    lines.push_back(std::string(editable_ ? "text field: " : "") + UIScreenTextFormat::oneLine(text_, 400) +
                    (isFirstResponder() ? "_" : ""));
  return true;
}
