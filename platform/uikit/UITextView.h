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
  // `range` in UTF-16 units of the current text.
  virtual bool textViewShouldChangeTextInRange(UITextView&, NSRange /*range*/, const std::string& /*replacement*/) {
    return true;
  }
  virtual void textViewDidChange(UITextView&) {}
  // A tapped link and the characters that carry it; answering true lets the system
  // open it.
  virtual bool textViewShouldInteractWithURL(UITextView&, const std::string& /*url*/, NSRange /*range*/) {
    return true;
  }
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
  // Typing at the end of the text.
  bool typeByUser(const std::string& text);
  // Typing over the characters in `range` (a selection); the delegate may refuse.
  bool replaceByUser(NSRange range, const std::string& text);
  // A person tapping a link of the text, named by its address or by the text that
  // carries it. The system opens it (UIApplication) unless the delegate refuses;
  // answers false when the text has no such link.
  bool tapLinkByUser(const std::string& linkOrText);
  bool appendScreenText(std::vector<std::string>& lines) const override;
  // Its links, by their text.
  std::vector<UIViewTapTarget> tapTargets() override;

 private:
  // The view's colour and font, which plain text and typing take.
  NSTextAttributes typingAttributes() const;
  std::string text_;
  NSAttributedString attributed_;
  UIFont font_ = UIFont::systemFontOfSize(12);
  UIColor textColor_ = UIColor::darkTextColor();
  bool editable_ = true, selectable_ = true;
  UIKeyboardAppearance keyboardAppearance_ = UIKeyboardAppearanceDefault;
  UIEdgeInsets textContainerInset_{8, 0, 8, 0};
  UITextViewDelegate* delegate_ = nullptr;
};
