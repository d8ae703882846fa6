#include "interface/GetPackageCell.h"

#include <algorithm>

#include "database/KVRPackage.h"
#include "database/KVRSource.h"
#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/NotificationCenter.h"
#include "foundation/WeakSelf.h"
#include "interface/KVApplicationActions.h"
#include "interface/KVPackageIcons.h"
#include "interface/PackageCell.h"
#include "interface/UIButtonGetButton.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIButton.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UINib.h"

namespace {
bool present(const std::optional<std::string>& text) { return text && !text->empty(); }
}  // namespace

// The interface file's arrangement of a 70-point row; the button's action is connected here.
GetPackageCell::GetPackageCell(const std::string& reuseIdentifier)
    : UITableViewCell(UITableViewCellStyleDefault, reuseIdentifier) {
  auto icon = std::make_shared<UIImageView>();
  icon->setFrame(CGRect::make(16, 10, 50, 50));
  auto name = std::make_shared<UILabel>(CGRect::make(78, 10, 190, 20));
  name->setFont(UIFont::boldSystemFontOfSize(15));
  auto maintainer = std::make_shared<UILabel>(CGRect::make(78, 31, 190, 16));
  maintainer->setFont(UIFont::systemFontOfSize(12));
  auto version = std::make_shared<UILabel>(CGRect::make(78, 48, 190, 14));
  version->setFont(UIFont::systemFontOfSize(11));
  version->setHidden(true);
  auto button = UIButton::buttonWithType(UIButtonTypeSystem);
  button->setFrame(CGRect::make(280, 20, 80, 30));
  button->titleLabel()->setFont(UIFont::boldSystemFontOfSize(13));
  auto separator = std::make_shared<UIView>(CGRect::make(78, 69, 297, 1));
  separator->setBackgroundColor(UIColor::colorWithWhite(0.5, 0.3));
  for (const std::shared_ptr<UIView>& v :
       std::vector<std::shared_ptr<UIView>>{icon, name, maintainer, version, button, separator})
    contentView()->addSubview(v);
  iconView_ = icon.get();
  nameLbl_ = name.get();
  maintainerLbl_ = maintainer.get();
  versionLbl_ = version.get();
  getBtn_ = button.get();
  separator_ = separator.get();
  getBtnWidth_ = NSLayoutConstraint::constraintWithItem({getBtn_, nullptr}, NSLayoutAttributeWidth, NSLayoutRelationEqual,
                                                        {}, NSLayoutAttributeNotAnAttribute, 1, 80);
  getBtn_->addTarget(this, [this](UIControl&) { getPackage(); }, UIControlEventTouchUpInside);
}

void GetPackageCell::layoutSubviews() {
  UITableViewCell::layoutSubviews();
  double width = contentView()->bounds().width();
  CGRect button = getBtn_->frame();
  getBtn_->setFrame(CGRect::make(std::max(78.0, width - 12 - button.width()), button.minY(), button.width(), button.height()));
  double texts = std::max(0.0, getBtn_->frame().minX() - 8 - 78);
  nameLbl_->setFrame(CGRect::make(78, 14, texts, 20));
  maintainerLbl_->setFrame(CGRect::make(78, 36, texts, 18));
  separator_->setFrame(CGRect::make(78, 69, std::max(0.0, width - 78), 1));
}

void GetPackageCell::registerInterfaceFile() {
  UINib::registerView("GetPackageCell", [] { return std::make_shared<GetPackageCell>("getPackageCell"); });
}

void GetPackageCell::awakeFromNib() {
  UITableViewCell::awakeFromNib();
  UIButtonGetButton::addTarget(*getBtn_, this, [this](UIGestureRecognizer& r) { showOptionsAlert(r); });
}

void GetPackageCell::setPackageIdentifier(const std::string& identifier) {
  packageIdentifier_ = identifier;
  queueStateObservation_ = NotificationCenter::defaultCenter().addObserver(
      "UpdateQueueStateNotification-" + identifier, &DispatchQueue::mainQueue(),
      [weak = weakSelf(this)](const Notification&) {
        performAfterWithBlock(0, [weak] {
          auto self = weak.lock();
          if (!self) return;
          self->updateButtonTitleWithPackage(KVRPackage::objectForPrimaryKey(self->packageIdentifier_), false);
        });
      });
}

void GetPackageCell::updateWithPackage(const KVRPackage& package) {
  setPackageIdentifier(package.identifier());
  nameLbl_->setText(package.name().value_or(""));
  nameLbl_->setAdjustsFontSizeToFitWidth(false);

  std::optional<std::string> text = PackageCellLook::sourceNameInsteadOfMaintainer(package);
  if (!text) {
    // An empty maintainer that is there goes straight to the source's contact.
    text = package.maintainer() ? package.maintainer() : package.contact();
    if (!present(text)) {
      if (package.sourceLocation()) {
        auto source = KVRSource::objectForPrimaryKey(*package.sourceLocation());
        text = source ? source->contact() : std::nullopt;
      } else {
        text = NSLocalizedString("Unknown");
      }
    }
  }
  maintainerLbl_->setText(text.value_or(""));
  // Only where the version says more than the button: an update's versions, or the hold.
  std::string version = PackageCellLook::versionText(package);
  bool telling = package.isInstalled().value_or(false) && version != package.installedVersion().value_or("");
  versionLbl_->setText(telling ? version : "");
  versionLbl_->setHidden(!telling);
  PackageCellLook::colourSecondaryLabels({maintainerLbl_, versionLbl_});
  PackageCellLook::applyIconLook(*iconView_);
  getBtn_->layer().cornerRadius = getBtn_->frame().height() / 2;
}

void GetPackageCell::updatePackageIcon() { iconView_->setImage(KVPackageIcons::iconForIdentifier(packageIdentifier_)); }

std::string GetPackageCell::buttonTitleForPackage(const std::optional<KVRPackage>& package, bool showsPaidLabel) {
  if (package && package->isInTheQueue().value_or(false)) return NSLocalizedString("QUEUED");
  // dpkg did not finish with it: a tap offers to configure it again or remove it.
  if (auto unfinished = package ? package->unfinishedInstallText(true) : std::nullopt) return NSLocalizedString(*unfinished);
  const bool otherArchitecture = package && package->isForAnotherArchitecture();
  if (package && package->isUpdated().value_or(false) && !package->isHeld().value_or(false) && !otherArchitecture)
    return NSLocalizedString("UPDATE");
  if (package && package->isInstalled().value_or(false)) return NSLocalizedString("UNINSTALL");
  if (otherArchitecture) return NSLocalizedString("INCOMPATIBLE");
  if (package && showsPaidLabel && present(package->price())) {
    const std::string& price = *package->price();
    if (price != "0" && price != "free" && price != "Free") return price;
  }
  return NSLocalizedString("GET");
}

void GetPackageCell::updateButtonTitleWithPackage(const std::optional<KVRPackage>& package, bool showsPaidLabel) {
  std::string title = buttonTitleForPackage(package, showsPaidLabel);
  performOnMainThread([weak = weakSelf(this), title] {
    auto self = weak.lock();
    if (!self) return;
    double width = UIFont::boldSystemFontOfSize(13).widthOfString(title) + 32;
    UIView::animateWithDuration(0.3, [&] {
      self->getBtnWidth_->setConstant(width);
      CGRect frame = self->getBtn_->frame();
      self->getBtn_->setFrame(CGRect::make(frame.maxX() - width, frame.minY(), width, frame.height()));
      self->getBtn_->setTitle(title);
      self->layoutIfNeeded();
    });
  });
}

void GetPackageCell::getPackage() {
  UIButtonGetButton::animateButton(*getBtn_);
  KVApplicationActions::shared("GetPackageCell").queuePackageWithIdentifier(packageIdentifier_, std::nullopt,
                                                                              getBtn_->weak_from_this());
  performAfterWithBlock(0, [weak = weakSelf(this)] {
    auto self = weak.lock();
    if (!self) return;
    self->updateButtonTitleWithPackage(KVRPackage::objectForPrimaryKey(self->packageIdentifier_), false);
  });
}

void GetPackageCell::showOptionsAlert(UIGestureRecognizer& recognizer) {
  if (recognizer.state() != UIGestureRecognizerStateBegan) return;
  performAfterWithBlock(0, [weak = weakSelf(this)] {
    auto self = weak.lock();
    if (!self) return;
    KVApplicationActions::shared("GetPackageCell")
        .presentOptions(self->packageIdentifier_, static_cast<UIView*>(self->getBtn_));
  });
}
