#include "interface/SearchCell.h"

#include "database/KVRDevelopers.h"
#include "foundation/LocalizedStrings.h"
#include "interface/KVShortConfirmation.h"
#include "uikit/UIAlertController.h"
#include "uikit/UIApplication.h"
#include "uikit/UIButton.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UINib.h"

// The interface file's arrangement of a 70-point row.
SearchCell::SearchCell(const std::string& reuseIdentifier) : UITableViewCell(UITableViewCellStyleDefault, reuseIdentifier) {
  auto icon = std::make_shared<UIImageView>();
  icon->setFrame(CGRect::make(16, 10, 50, 50));
  auto name = std::make_shared<UILabel>(CGRect::make(78, 12, 200, 20));
  name->setFont(UIFont::boldSystemFontOfSize(15));
  auto subinfo = std::make_shared<UILabel>(CGRect::make(78, 34, 220, 28));
  subinfo->setFont(UIFont::systemFontOfSize(12));
  auto follow = UIButton::buttonWithType(UIButtonTypeSystem);
  follow->setFrame(CGRect::make(290, 20, 70, 30));
  follow->setTitle(NSLocalizedString("Follow"));
  auto separator = std::make_shared<UIView>(CGRect::make(78, 69, 297, 1));
  separator->setBackgroundColor(UIColor::colorWithWhite(0.5, 0.3));
  for (const std::shared_ptr<UIView>& v : std::vector<std::shared_ptr<UIView>>{icon, name, subinfo, follow, separator})
    contentView()->addSubview(v);
  iconView_ = icon.get();
  nameLbl_ = name.get();
  subinfoLbl_ = subinfo.get();
  followBtn_ = follow.get();
  separator_ = separator.get();
  followBtn_->addTarget(this, [this](UIControl&) { changeFollowState(); }, UIControlEventTouchUpInside);
}

void SearchCell::registerInterfaceFile() {
  UINib::registerView("SearchCell", [] { return std::make_shared<SearchCell>("cell"); });
}

void SearchCell::screenRowParts(std::string& text, std::string& detail, std::string& accessory) const {
  text = nameLbl_->text();
  detail = subinfoLbl_->isHidden() ? std::string() : subinfoLbl_->text();
  // The button as it reads: its title, else what it is labelled for a person.
  accessory = followBtn_->isHidden() ? std::string() : followBtn_->screenLabel();
  if (accessoryType() == UITableViewCellAccessoryDisclosureIndicator) accessory += accessory.empty() ? ">" : " >";
}

void SearchCell::changeFollowState() {
  if (!developers_ || developerName_.empty()) return;
  const bool follow = !developers_->isDeveloperFollowed(developerName_);
  developers_->setDeveloper(developerName_, follow, [delegate = delegate_] {
    if (auto owner = delegate.lock()) owner->followStateChanged();
  });
  if (UIViewController* presenter = UIApplication::sharedApplication().topPresenter())
    KVShortConfirmation::show(*presenter, follow ? "Followed" : "Unfollowed");
}

void SearchCell::dismissAlertController(const std::shared_ptr<UIAlertController>& alert) {
  if (alert) alert->dismissViewControllerAnimated(true);
}
