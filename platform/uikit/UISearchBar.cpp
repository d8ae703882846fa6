#include "uikit/UISearchBar.h"

#include "uikit/UIScreenTextFormat.h"

UISearchBar::UISearchBar() {
  field_ = std::make_shared<UITextField>();
  field_->setDelegate(this);
  addSubview(field_);
  setFrame(CGRect::make(0, 0, 375, 56));
}

void UISearchBar::setShowsCancelButton(bool shows, bool animated) {
  if (animated) recordAnimation({"animation", 0.25, 0, 0, 0, 0, true});
  showsCancel_ = shows;
}

bool UISearchBar::textFieldShouldBeginEditing(UITextField&) {
  return !delegate_ || delegate_->searchBarShouldBeginEditing(*this);
}
void UISearchBar::textFieldDidBeginEditing(UITextField&) {
  if (delegate_) delegate_->searchBarTextDidBeginEditing(*this);
}
void UISearchBar::textFieldDidEndEditing(UITextField&) {
  if (delegate_) delegate_->searchBarTextDidEndEditing(*this);
}

bool UISearchBar::typeByUser(const std::string& text) {
  if (!field_->typeByUser(text)) return false;
  if (delegate_) delegate_->searchBarTextDidChange(*this, field_->text());
  return true;
}

bool UISearchBar::clearByUser() {
  if (!field_->clearByUser()) return false;
  if (delegate_) delegate_->searchBarTextDidChange(*this, field_->text());
  return true;
}

void UISearchBar::searchByUser() {
  if (delegate_) delegate_->searchBarSearchButtonClicked(*this);
}

void UISearchBar::cancelByUser() {
  if (delegate_) delegate_->searchBarCancelButtonClicked(*this);
}

bool UISearchBar::appendScreenText(std::vector<std::string>& lines) const {
  lines.push_back("search \"" + placeholder() + "\": " + UIScreenTextFormat::oneLine(text()) +
                  (isEditing() ? "_" : "") + (showsCancel_ ? "  [Cancel]" : ""));
  return true;
}
