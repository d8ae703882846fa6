#pragma once
// The full package row of the package lists: icon, name, version, sub-information line
// (maintainer or source name), a three-line description, the tweak-compatibility dot and
// the queue or installed status icon. The row follows its package's queue-state
// notification and redraws its status icon when the package's queue state changes.
// Interface file "PackageCell"; lists register it under the reuse identifier "cell".
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>

#include "foundation/NotificationToken.h"
#include "uikit/UITableViewCell.h"

class KVRPackage;
class NSLayoutConstraint;
class UIImage;
class UIColor;

class PackageCell : public UITableViewCell {
 public:
  explicit PackageCell(const std::string& reuseIdentifier = "cell");
  static void registerInterfaceFile();

  const std::string& packageIdentifier() const { return packageIdentifier_; }
  void setPackageIdentifier(std::string identifier) { packageIdentifier_ = std::move(identifier); }

  void updateWithPackage(const KVRPackage& package);
  void updatePackageIcon();
  void updateVersionLabelShowingDowngradeIfNeededForPackage(const KVRPackage& package);
  void updateConpatibilityIndicatorWithPackageIdentifier(const std::string& identifier, const std::string& version);
  void updateQueuingIconWithPackage(const std::optional<KVRPackage>& package);
  void updateQueuingIconWithOperation(int64_t operation);
  void setQueueingIcon(std::shared_ptr<UIImage> image, const UIColor& color);

  UIImageView* iconView() const { return iconView_; }
  UILabel* nameLbl() const { return nameLbl_; }
  UILabel* versionLbl() const { return versionLbl_; }
  UILabel* subinfoLbl() const { return subinfoLbl_; }
  UILabel* descriptionLbl() const { return descriptionLbl_; }
  NSLayoutConstraint* descriptionLblTrailingConstraint() const { return descriptionTrailing_.get(); }
  UIImageView* installOrQueueStatusImageView() const { return statusView_; }
  UIView* compatibilityView() const { return compatibilityView_; }
  NSLayoutConstraint* compatibilityViewTrailingConstraint() const { return compatibilityTrailing_.get(); }
  UIView* separator() const { return separator_; }

  // "name | version · sub-information | status": what a person reads of the row.
  void screenRowParts(std::string& text, std::string& detail, std::string& accessory) const override;
  void layoutSubviews() override;

 private:
  std::string packageIdentifier_;
  UIImageView* iconView_ = nullptr;
  UILabel* nameLbl_ = nullptr;
  UILabel* versionLbl_ = nullptr;
  UILabel* subinfoLbl_ = nullptr;
  UILabel* descriptionLbl_ = nullptr;
  UIImageView* statusView_ = nullptr;
  UIView* compatibilityView_ = nullptr;
  UIView* separator_ = nullptr;
  std::shared_ptr<NSLayoutConstraint> descriptionTrailing_;
  std::shared_ptr<NSLayoutConstraint> compatibilityTrailing_;
  NotificationToken queueStateObservation_;
};

// Shared by both package rows.
namespace PackageCellLook {
// Quarter-height continuous corners, a one-pixel grey border by palette, clipped.
void applyIconLook(UIImageView& iconView);
// The lines under a row's name in the active palette's secondary colour (the name's own
// colour is the list's to choose: a paid package's differs), never the labels' default
// black, which the dark palettes draw black on black.
void colourSecondaryLabels(std::initializer_list<UILabel*> labels);
// The name of the package's source when the preference asks for it, else nothing:
// "Unknown" without a location, empty when the source record is gone.
std::optional<std::string> sourceNameInsteadOfMaintainer(const KVRPackage& package);
// The version a row or a page shows: the repository's for a package not installed; for
// an installed one its own, "1.0 → 2.0" where an update is offered, and "1.0 (Held)"
// where its updates are ignored.
std::string versionText(bool installed, const std::optional<std::string>& installedVersion,
                        const std::optional<std::string>& version, bool updated, bool held);
std::string versionText(const KVRPackage& package);
}  // namespace PackageCellLook
