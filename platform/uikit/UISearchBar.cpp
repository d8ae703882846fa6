#include "uikit/UISearchBar.h"

#include <algorithm>

#include "uikit/UIFont.h"
#include "uikit/UIScreenTextFormat.h"
#include "uikit/UISearchController.h"

UISearchBar::UISearchBar() {
  field_ = std::make_shared<UITextField>();
  field_->setDelegate(this);
  addSubview(field_);
  setFrame(CGRect::make(0, 0, 375, 56));
}

void UISearchBar::setShowsCancelButton(bool shows, bool animated) {
  if (animated) recordAnimation({"animation", 0.25, 0, 0, 0, 0, true});
  if (shows == showsCancel_) return;
  showsCancel_ = shows;
  setNeedsLayout();
}

namespace {
constexpr double kMargin = 8, kFieldHeight = 36, kMagnifierWidth = 28;
}  // namespace

CGRect UISearchBar::cancelButtonRect() const {
  if (!showsCancel_) return {};
  double width = UIFont::systemFontOfSize(17).widthOfString("Cancel") + 16;
  return CGRect::make(bounds().width() - kMargin - width, 0, width, bounds().height());
}

CGRect UISearchBar::fieldBackgroundRect() const {
  CGRect b = bounds();
  double right = showsCancel_ ? cancelButtonRect().minX() : b.width() - kMargin;
  double height = std::min(kFieldHeight, b.height());
  return CGRect::make(kMargin, (b.height() - height) / 2, std::max(0.0, right - kMargin), height);
}

void UISearchBar::layoutSubviews() {
  CGRect background = fieldBackgroundRect();
  field_->setFrame(CGRect::make(background.minX() + kMagnifierWidth, background.minY(),
                                std::max(0.0, background.width() - kMagnifierWidth - 4), background.height()));
}

bool UISearchBar::textFieldShouldBeginEditing(UITextField&) {
  return !delegate_ || delegate_->searchBarShouldBeginEditing(*this);
}
bool UISearchBar::textFieldShouldEndEditing(UITextField&) { return !delegate_ || delegate_->searchBarShouldEndEditing(*this); }

void UISearchBar::textFieldDidBeginEditing(UITextField&) {
  if (delegate_) delegate_->searchBarTextDidBeginEditing(*this);
  if (searchController_) searchController_->searchBarDidBeginEditing();
}
void UISearchBar::textFieldDidEndEditing(UITextField&) {
  if (delegate_) delegate_->searchBarTextDidEndEditing(*this);
}

bool UISearchBar::tapByUser() { return field_->becomeFirstResponder(); }

void UISearchBar::textChangedByUser() {
  if (delegate_) delegate_->searchBarTextDidChange(*this, field_->text());
  if (searchController_) searchController_->searchBarTextDidChange();
}

bool UISearchBar::typeByUser(const std::string& text) {
  if (!field_->typeByUser(text)) return false;
  textChangedByUser();
  return true;
}

bool UISearchBar::clearByUser() {
  if (!field_->clearByUser()) return false;
  textChangedByUser();
  return true;
}

void UISearchBar::searchByUser() {
  if (delegate_) delegate_->searchBarSearchButtonClicked(*this);
}

void UISearchBar::cancelByUser() {
  if (delegate_) delegate_->searchBarCancelButtonClicked(*this);
  if (searchController_) searchController_->searchBarCancelled();
}

bool UISearchBar::appendScreenText(std::vector<std::string>& lines) const {
  lines.push_back("search \"" + placeholder() + "\": " + UIScreenTextFormat::oneLine(text()) +
                  (isEditing() ? "_" : "") + (showsCancel_ ? "  [Cancel]" : ""));
  return true;
}
