#pragma once
#include <optional>
#include <string>

#include "uikit/NSAttributedString.h"
#include "uikit/UIKeyboard.h"
#include "uikit/UIScrollView.h"

class UITextView;

class UITextViewDelegate : public UIScrollViewDelegate {
 public:
  virtual bool textViewShouldBeginEditing(UITextView&) { return true; }
  virtual void textViewDidBeginEditing(UITextView&) {}
  virtual void textViewDidEndEditing(UITextView&) {}
  virtual bool textViewShouldChangeTextInRange(UITextView&, size_t /*location*/, size_t /*length*/,
                                               const std::string& /*replacement*/) {
    return true;
  }
  virtual void textViewDidChange(UITextView&) {}
  // A tapped link; answering true lets the system open it.
  virtual bool textViewShouldInteractWithURL(UITextView&, const std::string& /*url*/) { return true; }
};

// Text of any length in attributed runs; editable or not.
class UITextView : public UIScrollView {
 public:
  UITextView() = default;
  const std::string& text() const { return text_; }
  void setText(std::string text);
  const NSAttributedString& attributedText() const { return attributed_; }
  void setAttributedText(NSAttributedString text);
  const UIFont& font() const { return font_; }
  void setFont(UIFont font) { font_ = std::move(font); }
  UIColor textColor() const { return textColor_; }
  void setTextColor(std::optional<UIColor> c) { textColor_ = c.value_or(UIColor::darkTextColor()); }
  bool isEditable() const { return editable_; }
  void setEditable(bool editable) { editable_ = editable; }
  bool isSelectable() const { return selectable_; }
  void setSelectable(bool selectable) { selectable_ = selectable; }
  UIKeyboardAppearance keyboardAppearance() const { return keyboardAppearance_; }
  void setKeyboardAppearance(UIKeyboardAppearance a) { keyboardAppearance_ = a; }
  UIEdgeInsets textContainerInset() const { return textContainerInset_; }
  void setTextContainerInset(UIEdgeInsets insets) { textContainerInset_ = insets; }
  UITextViewDelegate* textViewDelegate() const { return delegate_; }
  void setTextViewDelegate(UITextViewDelegate* delegate);

  bool canBecomeFirstResponder() const override { return editable_; }
  bool becomeFirstResponder() override;
  bool resignFirstResponder() override;
  bool typeByUser(const std::string& text);
  // A person tapping a link of the text; answers whether the system would open it.
  bool tapLinkByUser(const std::string& url);
  bool appendScreenText(std::vector<std::string>& lines) const override;

 private:
  std::string text_;
  NSAttributedString attributed_;
  UIFont font_ = UIFont::systemFontOfSize(12);
  UIColor textColor_ = UIColor::darkTextColor();
  bool editable_ = true, selectable_ = true;
  UIKeyboardAppearance keyboardAppearance_ = UIKeyboardAppearanceDefault;
  UIEdgeInsets textContainerInset_{8, 0, 8, 0};
  UITextViewDelegate* delegate_ = nullptr;
};
