#include "interface/PackageCell.h"

#include <algorithm>

#include "core/QuillbarkPersistentPreferences.h"
#include "database/KVRPackage.h"
#include "database/KVRPackages.h"
#include "database/KVRSource.h"
#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/NotificationCenter.h"
#include "foundation/WeakSelf.h"
#include "interface/KVPackageIcons.h"
#include "interface/KVPaletteManager.h"
#include "interface/TweakCompatibilityManagerColors.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIImage.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UINib.h"
#include "uikit/UIScreen.h"

namespace {
bool preference(const char* key) { return QuillbarkPersistentPreferences::sharedInstance().boolForKey(key); }
}  // namespace

void PackageCellLook::applyIconLook(UIImageView& iconView) {
  CALayer& layer = iconView.layer();
  layer.setValue(Value(true), "continuousCorners");
  layer.cornerRadius = iconView.frame().height() / 4;
  layer.borderColor = KVPaletteManager::isDarkMode() ? UIColor::darkGrayColor() : UIColor::lightGrayColor();
  layer.borderWidth = 1.0 / UIScreen::mainScreen().scale();
  layer.masksToBounds = true;
}

void PackageCellLook::colourSecondaryLabels(std::initializer_list<UILabel*> labels) {
  auto palette = KVPaletteManager::getActivePalette();
  if (!palette) return;
  for (UILabel* label : labels) label->setTextColor(palette->secondaryTextColor());
}

std::optional<std::string> PackageCellLook::sourceNameInsteadOfMaintainer(const KVRPackage& package) {
  if (!preference("ReplacePackageMaintainerWithSourceName")) return std::nullopt;
  if (!package.sourceLocation()) return NSLocalizedString("Unknown");
  auto source = KVRSource::objectForPrimaryKey(*package.sourceLocation());
  return source ? source->name().value_or("") : std::string();
}

std::string PackageCellLook::versionText(bool installed, const std::optional<std::string>& installedVersion,
                                         const std::optional<std::string>& version, bool updated, bool held) {
  if (!installed) return version.value_or("");
  std::string own = installedVersion.value_or("");
  if (held) return NSLocalizedFormat("%@ (Held)", {own});
  if (updated && version && !version->empty() && *version != own) return own + " \u2192 " + *version;
  return own;
}

std::string PackageCellLook::versionText(const KVRPackage& package) {
  return versionText(package.isInstalled().value_or(false), package.installedVersion(), package.version(),
                     package.isUpdated().value_or(false), package.isHeld().value_or(false));
}

// The interface file's arrangement of a 70-point row.
PackageCell::PackageCell(const std::string& reuseIdentifier) : UITableViewCell(UITableViewCellStyleDefault, reuseIdentifier) {
  auto icon = std::make_shared<UIImageView>();
  icon->setFrame(CGRect::make(16, 10, 50, 50));
  auto name = std::make_shared<UILabel>(CGRect::make(78, 8, 200, 18));
  name->setFont(UIFont::boldSystemFontOfSize(15));
  auto version = std::make_shared<UILabel>(CGRect::make(282, 8, 70, 18));
  version->setFont(UIFont::systemFontOfSize(12));
  version->setAdjustsFontSizeToFitWidth(true);  // "1.0 → 2.0"
  version->setMinimumScaleFactor(0.6);
  auto subinfo = std::make_shared<UILabel>(CGRect::make(78, 26, 220, 14));
  subinfo->setFont(UIFont::systemFontOfSize(12));
  auto description = std::make_shared<UILabel>(CGRect::make(78, 40, 230, 28));
  description->setFont(UIFont::systemFontOfSize(11));
  description->setNumberOfLines(3);
  auto status = std::make_shared<UIImageView>();
  status->setFrame(CGRect::make(320, 22, 25, 25));
  auto compatibility = std::make_shared<UIView>(CGRect::make(60, 52, 10, 10));
  compatibility->layer().cornerRadius = 5;
  auto separator = std::make_shared<UIView>(CGRect::make(78, 69, 297, 1));
  separator->setBackgroundColor(UIColor::colorWithWhite(0.5, 0.3));
  for (const std::shared_ptr<UIView>& v :
       std::vector<std::shared_ptr<UIView>>{icon, name, version, subinfo, description, status, compatibility, separator})
    contentView()->addSubview(v);
  iconView_ = icon.get();
  nameLbl_ = name.get();
  versionLbl_ = version.get();
  subinfoLbl_ = subinfo.get();
  descriptionLbl_ = description.get();
  statusView_ = status.get();
  compatibilityView_ = compatibility.get();
  separator_ = separator.get();
  descriptionTrailing_ = NSLayoutConstraint::constraintWithItem({contentView(), nullptr}, NSLayoutAttributeTrailing,
                                                                NSLayoutRelationEqual, {descriptionLbl_, nullptr},
                                                                NSLayoutAttributeTrailing, 1, 0);
  compatibilityTrailing_ = NSLayoutConstraint::constraintWithItem({iconView_, nullptr}, NSLayoutAttributeTrailing,
                                                                  NSLayoutRelationEqual, {compatibilityView_, nullptr},
                                                                  NSLayoutAttributeTrailing, 1, 0);
}

// The row's right-hand parts keep to its trailing edge: in a narrower row (the search
// tab's card) the state mark would otherwise lie under the disclosure chevron, so the
// mark and the version move in by what the row lacks, and the texts beside them narrow.
void PackageCell::layoutSubviews() {
  UITableViewCell::layoutSubviews();
  const double lacking = std::max(0.0, 320.0 - (contentView()->bounds().width() - 21));
  auto placed = [&](UIView* view, double x, double width) {
    CGRect frame = view->frame();
    frame = CGRect::make(x, frame.minY(), width, frame.height());
    view->setFrame(frame);
  };
  placed(statusView_, 320 - lacking, 25);
  placed(versionLbl_, 282 - lacking, 70);
  placed(nameLbl_, 78, 200 - lacking);
  placed(subinfoLbl_, 78, 220 - lacking);
  placed(descriptionLbl_, 78, 230 - lacking);
}

void PackageCell::registerInterfaceFile() {
  UINib::registerView("PackageCell", [] { return std::make_shared<PackageCell>("cell"); });
}

void PackageCell::updateWithPackage(const KVRPackage& package) {
  packageIdentifier_ = package.identifier();
  // One observation per row, for the package it shows now; the redraw looks the package
  // up again on a later turn, by the identifier the row shows then.
  queueStateObservation_ = NotificationCenter::defaultCenter().addObserver(
      "UpdateQueueStateNotification-" + packageIdentifier_, &DispatchQueue::mainQueue(),
      [weak = weakSelf(this)](const Notification&) {
        performAfterWithBlock(0, [weak] {
          auto self = weak.lock();
          if (!self) return;
          self->updateQueuingIconWithPackage(KVRPackage::objectForPrimaryKey(self->packageIdentifier_));
        });
      });
  setBackgroundColor(UIColor::clearColor());
  nameLbl_->setText(package.name().value_or(""));
  statusView_->setHidden(false);
  descriptionTrailing_->setConstant(16);
  versionLbl_->setText(PackageCellLook::versionText(package));
  versionLbl_->setHidden(preference("HidePackageVersion"));
  descriptionLbl_->setHidden(preference("HidePackageDescription"));
  descriptionLbl_->setText(package.Description().value_or(""));
  descriptionLbl_->setNumberOfLines(3);
  PackageCellLook::applyIconLook(*iconView_);
  setAccessoryType(UITableViewCellAccessoryNone);
  auto sourceName = PackageCellLook::sourceNameInsteadOfMaintainer(package);
  subinfoLbl_->setText(sourceName ? *sourceName : package.maintainer().value_or(""));
  PackageCellLook::colourSecondaryLabels({versionLbl_, subinfoLbl_, descriptionLbl_});
}

void PackageCell::updatePackageIcon() { iconView_->setImage(KVPackageIcons::iconForIdentifier(packageIdentifier_)); }

void PackageCell::updateVersionLabelShowingDowngradeIfNeededForPackage(const KVRPackage& package) {
  if (package.isInTheQueue().value_or(false) && package.queueOperation().value_or(0) == KVQueueOperationDowngrade)
    versionLbl_->setText(package.queuedVersion().value_or(""));
  else
    versionLbl_->setText(PackageCellLook::versionText(package));
  versionLbl_->setHidden(preference("HidePackageVersion"));
}

void PackageCell::updateConpatibilityIndicatorWithPackageIdentifier(const std::string& identifier,
                                                                     const std::string& version) {
  bool hidden = preference("HidePackageTweakCompatibleIndicator");
  compatibilityView_->setHidden(hidden);
  if (hidden) return;
  compatibilityView_->setBackgroundColor(TweakCompatibilityManagerColors::colorForBundle(identifier, version));
  compatibilityTrailing_->setConstant(16);
}

void PackageCell::updateQueuingIconWithPackage(const std::optional<KVRPackage>& package) {
  bool queued = package && package->isInTheQueue().value_or(false);
  if (package && !queued && package->isInstalled().value_or(false)) {
    // dpkg did not finish with it: that, not a plain installed mark.
    if (auto unfinished = package->unfinishedInstallText())
      setQueueingIcon(UIImage::imageNamed(*unfinished), UIColor::systemOrangeColor());
    else
      setQueueingIcon(UIImage::imageNamed("installed"), UIColor::systemGreenColor());
    return;
  }
  updateQueuingIconWithOperation(package ? package->queueOperation().value_or(0) : 0);
}

void PackageCell::updateQueuingIconWithOperation(int64_t operation) {
  struct Mark {
    const char* image;
    UIColor (*tint)();
  };
  static const Mark marks[] = {{"install", &UIColor::systemGreenColor},
                               {"uninstall", &UIColor::systemRedColor},
                               {"upgrade", &UIColor::systemBlueColor},
                               {"downgrade", &UIColor::systemOrangeColor},
                               {"reinstall", &UIColor::systemPurpleColor}};
  if (operation < KVQueueOperationInstall || operation > KVQueueOperationReinstall) {
    setQueueingIcon(nullptr, UIColor::clearColor());
    return;
  }
  const Mark& mark = marks[operation - 1];
  setQueueingIcon(UIImage::imageNamed(mark.image), mark.tint());
}

void PackageCell::setQueueingIcon(std::shared_ptr<UIImage> image, const UIColor& color) {
  if (image) {
    statusView_->setTintColor(color);
    descriptionTrailing_->setConstant(51);
    statusView_->setHidden(false);
    statusView_->setImage(image->imageWithRenderingMode(UIImageRenderingModeAlwaysTemplate));
  } else {
    descriptionTrailing_->setConstant(0);
    statusView_->setHidden(true);
    statusView_->setImage(nullptr);
  }
}

void PackageCell::screenRowParts(std::string& text, std::string& detail, std::string& accessory) const {
  text = nameLbl_->text();
  detail.clear();
  for (UILabel* label : {versionLbl_, subinfoLbl_})
    if (!label->isHidden() && !label->text().empty()) detail += (detail.empty() ? "" : " · ") + label->text();
  accessory.clear();
  if (!statusView_->isHidden() && statusView_->image()) accessory = "(" + statusView_->image()->name() + ")";
  if (accessoryType() == UITableViewCellAccessoryDisclosureIndicator) accessory += accessory.empty() ? ">" : " >";
}
