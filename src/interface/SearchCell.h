#pragma once
// The generic result row of the search tab, the repository directory, the stores and
// the followed developers: an icon, a title, a subtitle, a follow button (hidden where
// nothing is followed) and a bottom separator. Owners fill it; for a developer's row
// they set the developer the button acts on, the developers manager it acts through and
// the delegate. Interface file "SearchCell"; screens register it under "cell".
#include <memory>
#include <string>

#include "interface/SearchCellDelegate.h"
#include "uikit/UITableViewCell.h"

class KVRDevelopers;
class UIAlertController;
class UIButton;

class SearchCell : public UITableViewCell {
 public:
  explicit SearchCell(const std::string& reuseIdentifier = "cell");
  static void registerInterfaceFile();

  UIImageView* iconView() const { return iconView_; }
  UILabel* nameLbl() const { return nameLbl_; }
  UILabel* subinfoLbl() const { return subinfoLbl_; }
  UIButton* followBtn() const { return followBtn_; }
  UIView* separator() const { return separator_; }

  const std::string& developerName() const { return developerName_; }
  void setDeveloperName(std::string name) { developerName_ = std::move(name); }
  void setDevelopers(std::shared_ptr<KVRDevelopers> developers) { developers_ = std::move(developers); }
  std::weak_ptr<SearchCellDelegate> delegate() const { return delegate_; }
  void setDelegate(std::weak_ptr<SearchCellDelegate> delegate) { delegate_ = std::move(delegate); }

  // The follow button: follows the developer, or unfollows a followed one, flashes
  // "Followed" or "Unfollowed" from the top screen, and tells the delegate once the
  // change is written, so the rows it shows again read the new state.
  void changeFollowState();
  void dismissAlertController(const std::shared_ptr<UIAlertController>& alert);

  // "title | subtitle | [button] >": what a person reads of the row.
  void screenRowParts(std::string& text, std::string& detail, std::string& accessory) const override;

 private:
  UIImageView* iconView_ = nullptr;
  UILabel* nameLbl_ = nullptr;
  UILabel* subinfoLbl_ = nullptr;
  UIButton* followBtn_ = nullptr;
  UIView* separator_ = nullptr;
  std::string developerName_;
  std::shared_ptr<KVRDevelopers> developers_;
  std::weak_ptr<SearchCellDelegate> delegate_;
};
