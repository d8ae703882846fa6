#pragma once
// The compact package row with an action button ("GET", "UPDATE", "UNINSTALL",
// "QUEUED"): a tap queues the package through the application delegate, a long press
// opens its options. The button's title follows the package's queue-state notification.
// Interface file "GetPackageCell"; screens register it under "getPackageCell".
#include <memory>
#include <optional>
#include <string>

#include "foundation/NotificationToken.h"
#include "uikit/UITableViewCell.h"

class KVRPackage;
class NSLayoutConstraint;
class UIButton;
class UIGestureRecognizer;

class GetPackageCell : public UITableViewCell {
 public:
  explicit GetPackageCell(const std::string& reuseIdentifier = "getPackageCell");
  static void registerInterfaceFile();
  void awakeFromNib() override;
  // The button keeps to the row's right end, the texts short of it, in a card as on a
  // whole screen's width.
  void layoutSubviews() override;

  const std::string& packageIdentifier() const { return packageIdentifier_; }
  // Also re-targets the row's one queue-state observation at the package.
  void setPackageIdentifier(const std::string& identifier);

  void updateWithPackage(const KVRPackage& package);
  void updatePackageIcon();
  // No record titles the button "GET".
  void updateButtonTitleWithPackage(const std::optional<KVRPackage>& package, bool showsPaidLabel);
  void getPackage();
  void showOptionsAlert(UIGestureRecognizer& recognizer);

  UIImageView* iconView() const { return iconView_; }
  UILabel* nameLbl() const { return nameLbl_; }
  UILabel* maintainerLbl() const { return maintainerLbl_; }
  // "1.0 → 2.0" for an installed package with an update, "1.0 (Held)" for a held one;
  // hidden otherwise.
  UILabel* versionLbl() const { return versionLbl_; }
  UIButton* getBtn() const { return getBtn_; }
  NSLayoutConstraint* getBtnWidthConstraint() const { return getBtnWidth_.get(); }
  UIView* separator() const { return separator_; }

  // The title the button would have for a record (the rules of updateButtonTitle).
  static std::string buttonTitleForPackage(const std::optional<KVRPackage>& package, bool showsPaidLabel);

 private:
  std::string packageIdentifier_;
  UIImageView* iconView_ = nullptr;
  UILabel* nameLbl_ = nullptr;
  UILabel* maintainerLbl_ = nullptr;
  UILabel* versionLbl_ = nullptr;
  UIButton* getBtn_ = nullptr;
  UIView* separator_ = nullptr;
  std::shared_ptr<NSLayoutConstraint> getBtnWidth_;
  NotificationToken queueStateObservation_;
};
