#pragma once
#include <memory>
#include <optional>
#include <string>

#include "uikit/NSAttributedString.h"
#include "uikit/UIControl.h"
#include "uikit/UIFont.h"
#include "uikit/UIKeyboard.h"

class UITextField;

class UITextFieldDelegate {
 public:
  virtual ~UITextFieldDelegate() = default;
  virtual bool textFieldShouldBeginEditing(UITextField&) { return true; }
  virtual void textFieldDidBeginEditing(UITextField&) {}
  virtual bool textFieldShouldEndEditing(UITextField&) { return true; }
  virtual void textFieldDidEndEditing(UITextField&) {}
  // Replacing the characters in `range` (UTF-16 units of the current text) with
  // `replacement`.
  virtual bool textFieldShouldChangeCharactersInRange(UITextField&, NSRange /*range*/,
                                                      const std::string& /*replacement*/) {
    return true;
  }
  virtual bool textFieldShouldClear(UITextField&) { return true; }
  virtual bool textFieldShouldReturn(UITextField&) { return true; }
};

// When a field shows its side view.
enum UITextFieldViewMode : long {
  UITextFieldViewModeNever = 0,
  UITextFieldViewModeWhileEditing = 1,
  UITextFieldViewModeUnlessEditing = 2,
  UITextFieldViewModeAlways = 3,
};

enum UIReturnKeyType : long { UIReturnKeyDefault = 0, UIReturnKeyGo = 1, UIReturnKeyNext = 4, UIReturnKeySearch = 6, UIReturnKeyDone = 9 };

class UITextField : public UIControl {
 public:
  UITextField() = default;
  const std::string& text() const { return text_; }
  void setText(std::string text) { UI_MAIN_THREAD_ONLY(); text_ = std::move(text); }
  const std::string& placeholder() const { return placeholder_; }
  void setPlaceholder(std::string placeholder) { UI_MAIN_THREAD_ONLY(); placeholder_ = std::move(placeholder); }
  const std::optional<NSAttributedString>& attributedPlaceholder() const { return attributedPlaceholder_; }
  void setAttributedPlaceholder(std::optional<NSAttributedString> p);
  const UIFont& font() const { return font_; }
  void setFont(UIFont font) { font_ = std::move(font); }
  UIColor textColor() const { return textColor_; }
  void setTextColor(std::optional<UIColor> c) { textColor_ = c.value_or(UIColor::darkTextColor()); }
  UIKeyboardAppearance keyboardAppearance() const { return keyboardAppearance_; }
  void setKeyboardAppearance(UIKeyboardAppearance a) { keyboardAppearance_ = a; }
  UIReturnKeyType returnKeyType() const { return returnKeyType_; }
  void setReturnKeyType(UIReturnKeyType t) { returnKeyType_ = t; }
  bool isSecureTextEntry() const { return secure_; }
  void setSecureTextEntry(bool secure) { secure_ = secure; }
  // A view at the field's left edge (padding, an icon), shown as the mode says.
  const std::shared_ptr<UIView>& leftView() const { return leftView_; }
  void setLeftView(std::shared_ptr<UIView> view) { UI_MAIN_THREAD_ONLY(); leftView_ = std::move(view); }
  UITextFieldViewMode leftViewMode() const { return leftViewMode_; }
  void setLeftViewMode(UITextFieldViewMode mode) { leftViewMode_ = mode; }
  UITextFieldDelegate* delegate() const { return delegate_; }
  void setDelegate(UITextFieldDelegate* delegate) { delegate_ = delegate; }
  bool isEditing() const { return isFirstResponder(); }

  bool canBecomeFirstResponder() const override { return isEnabled(); }
  bool becomeFirstResponder() override;
  bool resignFirstResponder() override;

  // A person typing: begins editing, asks the delegate, appends, sends editing-changed.
  bool typeByUser(const std::string& text);
  // A person clearing the field with its clear button.
  bool clearByUser();
  // The return key: asks the delegate, sends editing-did-end-on-exit.
  void returnByUser();
  bool appendScreenText(std::vector<std::string>& lines) const override;

 private:
  std::string text_, placeholder_;
  std::optional<NSAttributedString> attributedPlaceholder_;
  UIFont font_;
  UIColor textColor_ = UIColor::darkTextColor();
  UIKeyboardAppearance keyboardAppearance_ = UIKeyboardAppearanceDefault;
  UIReturnKeyType returnKeyType_ = UIReturnKeyDefault;
  bool secure_ = false;
  std::shared_ptr<UIView> leftView_;
  UITextFieldViewMode leftViewMode_ = UITextFieldViewModeNever;
  UITextFieldDelegate* delegate_ = nullptr;
};
