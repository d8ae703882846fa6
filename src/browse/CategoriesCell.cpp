#include "browse/CategoriesCell.h"

#include <algorithm>
#include <array>

#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIImage.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UINib.h"

namespace {
bool beginsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }
bool contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

// A category's own picture: "Categories" joined with its name as a path, never leaving
// the folder (a name is repository data).
bool hasOwnPicture(const std::string& text) {
  if (text.empty() || contains(text, "..") || text.front() == '/') return false;
  return UIImage::imageNamed("Categories/" + text) != nullptr;
}
}  // namespace

// The interface file's arrangement of a 44-point row.
CategoriesCell::CategoriesCell(const std::string& reuseIdentifier)
    : UITableViewCell(UITableViewCellStyleDefault, reuseIdentifier) {
  auto icon = std::make_shared<UIImageView>();
  icon->setFrame(CGRect::make(16, 8, 28, 28));
  auto name = std::make_shared<UILabel>(CGRect::make(56, 12, 280, 20));
  name->setFont(UIFont::systemFontOfSize(17));
  auto separator = std::make_shared<UIView>(CGRect::make(56, 43, 319, 1));
  separator->setBackgroundColor(UIColor::colorWithWhite(0.5, 0.3));
  for (const std::shared_ptr<UIView>& v : std::vector<std::shared_ptr<UIView>>{icon, name, separator})
    contentView()->addSubview(v);
  iconView_ = icon.get();
  nameLbl_ = name.get();
  separator_ = separator.get();
  separatorTrailing_ = NSLayoutConstraint::constraintWithItem({contentView(), nullptr}, NSLayoutAttributeTrailing,
                                                              NSLayoutRelationEqual, {separator_, nullptr},
                                                              NSLayoutAttributeTrailing, 1, 0);
}

CategoriesCell::CategoriesCell(long categoryType, const std::string& reuseIdentifier) : CategoriesCell(reuseIdentifier) {
  static const std::array<const char*, 3> stock = {"Categories/All Packages", "Categories/Updated Packages",
                                                   "Categories/Browse Repositories"};
  size_t picture = categoryType <= 1 ? 0 : categoryType <= 3 ? 1 : 2;
  iconView_->setImage(UIImage::imageNamed(stock[picture]));
}

void CategoriesCell::layoutSubviews() {
  UITableViewCell::layoutSubviews();
  // The line runs from under the name to the trailing edge, less the inset.
  CGRect bounds = contentView()->bounds();
  double inset = separatorTrailing_->constant();
  separator_->setFrame(CGRect::make(56, bounds.height() - 1, std::max(0.0, bounds.width() - 56 - inset), 1));
}

void CategoriesCell::registerInterfaceFile() {
  UINib::registerView("CategoriesCell", [] { return std::make_shared<CategoriesCell>("catCell"); });
}

CategoriesCell::Look CategoriesCell::lookForCategory(const std::string& text) {
  if (hasOwnPicture(text)) return {"Categories/" + text, false};
  struct Rule {
    bool (*test)(const std::string&);
    const char* image;
    bool bold;
  };
  static const Rule rules[] = {
      {[](const std::string& t) { return beginsWith(t, "Theme") || contains(t, "Thème"); }, "Themes", true},
      {[](const std::string& t) { return beginsWith(t, "App Addons"); }, "App Addons", false},
      {[](const std::string& t) { return beginsWith(t, "Addon"); }, "Addons", true},
      {[](const std::string& t) { return contains(t, "Addon"); }, "Addons", false},
      {[](const std::string& t) { return beginsWith(t, "Application"); }, "Applications", false},
      {[](const std::string& t) { return beginsWith(t, "Cydget"); }, "Cydgets", false},
      {[](const std::string& t) { return beginsWith(t, "Data_Storage"); }, "Data Storage", false},
      {[](const std::string& t) { return contains(t, "Font"); }, "Fonts", false},
      {[](const std::string& t) { return contains(t, "Network"); }, "Network", false},
      {[](const std::string& t) { return contains(t, "Terminal"); }, "Terminal", false},
      {[](const std::string& t) { return beginsWith(t, "Tweak"); }, "Tweaks", true},
      {[](const std::string& t) { return contains(t, "Wallpaper"); }, "Wallpapers", false},
      {[](const std::string& t) { return beginsWith(t, "Widget"); }, "Widgets", true},
      {[](const std::string& t) { return contains(t, "Widget"); }, "Widgets", false},
      {[](const std::string& t) { return contains(t, "Zeppelin"); }, "Zeppelin", false},
      {[](const std::string& t) { return t == "Cydia/Telesphoreo"; }, "Morvik", false},
  };
  for (const Rule& rule : rules)
    if (rule.test(text)) return {std::string("Categories/") + rule.image, rule.bold};
  return {"Categories/Default", false};
}

void CategoriesCell::applyLook(const Look& look) {
  iconView_->setImage(UIImage::imageNamed(look.imageName));
  nameLbl_->setFont(UIFont::systemFontOfSize(nameLbl_->font().pointSize(),
                                             look.bold ? UIFontWeightBold : UIFontWeightRegular));
}
