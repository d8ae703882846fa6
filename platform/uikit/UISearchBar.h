#pragma once
#include <memory>
#include <string>

#include "uikit/UITextField.h"

class UISearchBar;
class UISearchController;

class UISearchBarDelegate {
 public:
  virtual ~UISearchBarDelegate() = default;
  virtual bool searchBarShouldBeginEditing(UISearchBar&) { return true; }
  virtual void searchBarTextDidBeginEditing(UISearchBar&) {}
  virtual bool searchBarShouldEndEditing(UISearchBar&) { return true; }
  virtual void searchBarTextDidEndEditing(UISearchBar&) {}
  virtual void searchBarTextDidChange(UISearchBar&, const std::string& /*searchText*/) {}
  virtual void searchBarSearchButtonClicked(UISearchBar&) {}
  virtual void searchBarCancelButtonClicked(UISearchBar&) {}
};

class UISearchBar : public UIView, private UITextFieldDelegate {
 public:
  UISearchBar();
  const std::string& text() const { return field_->text(); }
  void setText(std::string text) { field_->setText(std::move(text)); }
  const std::string& placeholder() const { return field_->placeholder(); }
  void setPlaceholder(std::string p) { field_->setPlaceholder(std::move(p)); }
  bool showsCancelButton() const { return showsCancel_; }
  void setShowsCancelButton(bool shows, bool animated = false);
  UISearchBarDelegate* delegate() const { return delegate_; }
  void setDelegate(UISearchBarDelegate* delegate) { delegate_ = delegate; }
  UIKeyboardAppearance keyboardAppearance() const { return field_->keyboardAppearance(); }
  void setKeyboardAppearance(UIKeyboardAppearance a) { field_->setKeyboardAppearance(a); }
  UITextField* searchTextField() const { return field_.get(); }
  const std::optional<UIColor>& barTintColor() const { return barTint_; }
  void setBarTintColor(std::optional<UIColor> color) { barTint_ = std::move(color); }
  long barStyle() const { return barStyle_; }
  void setBarStyle(long style) { barStyle_ = style; }

  bool becomeFirstResponder() override { return field_->becomeFirstResponder(); }
  bool resignFirstResponder() override { return field_->resignFirstResponder(); }
  bool isEditing() const { return field_->isFirstResponder(); }

  // A person's tap into the bar: it starts editing.
  bool tapByUser();
  bool typeByUser(const std::string& text);
  bool clearByUser();
  void searchByUser();
  void cancelByUser();
  bool appendScreenText(std::vector<std::string>& lines) const override;

  // Where the bar shows its rounded field (the magnifier at its left, the text after it)
  // and, while it shows one, its Cancel button, in the bar's own points.
  CGRect fieldBackgroundRect() const;
  CGRect cancelButtonRect() const;
  void layoutSubviews() override;

 private:
  friend class UISearchController;
  // The search controller that owns the bar hears what its delegate hears.
  void setOwningSearchController(UISearchController* controller) { searchController_ = controller; }
  void textChangedByUser();
  bool textFieldShouldBeginEditing(UITextField&) override;
  bool textFieldShouldEndEditing(UITextField&) override;
  void textFieldDidBeginEditing(UITextField&) override;
  void textFieldDidEndEditing(UITextField&) override;
  std::shared_ptr<UITextField> field_;
  bool showsCancel_ = false;
  UISearchBarDelegate* delegate_ = nullptr;
  UISearchController* searchController_ = nullptr;
  std::optional<UIColor> barTint_;
  long barStyle_ = 0;
};
