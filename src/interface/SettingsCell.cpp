#include "interface/SettingsCell.h"

#include "core/KVConnections.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "foundation/WeakSelf.h"
#include "interface/KVPaletteManager.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIAlertController.h"
#include "uikit/UIApplication.h"
#include "uikit/UISwitch.h"

namespace {
constexpr const char* kPackageTasksAuthentication = "AuthenticationForPackagesManagementTasks";
constexpr const char* kNotifications = "ShowNotificationsInsteadOfErrorAlerts";
constexpr const char* kPaletteKeys[] = {"DarkMode", "AppleDarkMode", "TrueDarkMode"};

void presentAlert(const std::string& title, const std::string& message, const std::string& button) {
  auto alert = UIAlertController::alertControllerWithTitle(NSLocalizedString(title), NSLocalizedString(message),
                                                           UIAlertControllerStyleAlert);
  alert->addAction(UIAlertAction::actionWithTitle(NSLocalizedString(button), UIAlertActionStyleCancel));
  if (UIViewController* top = UIApplication::sharedApplication().topPresenter()) top->presentViewController(alert, true);
}

// The cell, when it is still there, on the main thread.
void onCell(const std::weak_ptr<SettingsCell>& weak, std::function<void(SettingsCell&)> block) {
  performOnMainThread([weak, block = std::move(block)] {
    if (auto cell = weak.lock()) block(*cell);
  });
}
}  // namespace

SettingsCell::SettingsCell(UITableViewCellStyle style, std::string reuseIdentifier)
    : UITableViewCell(style, std::move(reuseIdentifier)) {
  auto label = std::make_shared<UILabel>();
  label->setTranslatesAutoresizingMaskIntoConstraints(false);
  auto toggle = std::make_shared<UISwitch>();
  toggle->setTranslatesAutoresizingMaskIntoConstraints(false);
  contentView()->addSubview(label);
  contentView()->addSubview(toggle);
  optionLbl_ = label.get();
  optionSwitch_ = toggle.get();
  UILayoutGuide& margins = contentView()->layoutMarginsGuide();
  optionLblWidth_ = label->widthAnchor().constraintEqualToConstant(220);
  NSLayoutConstraint::activateConstraints({
      label->leadingAnchor().constraintEqualToAnchor(margins.leadingAnchor()),
      label->centerYAnchor().constraintEqualToAnchor(contentView()->centerYAnchor()),
      optionLblWidth_,
      toggle->trailingAnchor().constraintEqualToAnchor(margins.trailingAnchor()),
      toggle->centerYAnchor().constraintEqualToAnchor(contentView()->centerYAnchor()),
  });
  toggle->addTarget(this, [this](UIControl&) { switchAction(); }, UIControlEventValueChanged);
}

SettingsCell::~SettingsCell() {
  // The centre holds its delegate by a plain pointer: it must not outlive the cell there.
  auto& centre = UNUserNotificationCenter::currentNotificationCenter();
  if (isCentreDelegate_ && centre.delegate() == this) centre.setDelegate(previousDelegate_);
}

void SettingsCell::setOptionState() {
  optionSwitch_->setOn(QuillbarkPersistentPreferences::sharedInstance().boolForKey(keyToCheck_));
}

void SettingsCell::store(bool on) {
  auto& preferences = QuillbarkPersistentPreferences::sharedInstance();
  preferences.setValue(Value(on), keyToCheck_);
  preferences.saveToFile();
}

void SettingsCell::turnBack(bool on) { optionSwitch_->setOn(!on, true); }

void SettingsCell::switchAction() {
  const bool on = optionSwitch_->isOn();
  auto weak = weakSelf(this);
  if (keyToCheck_ == kPackageTasksAuthentication) {
    std::string reason = on ? "Please authenticate yourself to activate FaceID / TouchID / Password authentication for "
                              "packages management tasks"
                            : "Please authenticate yourself to deactivate FaceID / TouchID / Password authentication "
                              "for packages management tasks";
    auto authenticate = KVConnections::current("SettingsCell")->environment.authenticateDeviceOwner;
    // Asked from a background queue, as the device's prompt is.
    performOnDefaultThread([authenticate, reason, weak, on] {
      authenticate(NSLocalizedString(reason), [weak, on](KVOwnerAuthentication outcome) {
        onCell(weak, [on, outcome](SettingsCell& cell) {
          if (outcome == KVOwnerAuthentication::Succeeded) {
            cell.store(on);
            cell.afterChange(on);
            return;
          }
          cell.turnBack(on);
          if (outcome == KVOwnerAuthentication::Unavailable)
            presentAlert("Quillbark Authentication",
                         "Your device can't use FaceID, TouchID or password authentication at the moment. Most likely "
                         "you haven't set it up in Settings.",
                         on ? "Close" : "Cancel");
        });
      });
    });
    return;
  }
  if (keyToCheck_ == kNotifications && on) {
    auto& centre = UNUserNotificationCenter::currentNotificationCenter();
    if (!isCentreDelegate_) previousDelegate_ = centre.delegate();
    centre.setDelegate(this);
    isCentreDelegate_ = true;
    centre.requestAuthorizationWithOptions(
        UNAuthorizationOptionAlert | UNAuthorizationOptionSound | UNAuthorizationOptionBadge,
        [weak](bool granted, ErrorRef error) {
          onCell(weak, [granted, error](SettingsCell& cell) {
            if (!error) UIApplication::sharedApplication().registerForRemoteNotifications();
            if (!granted)
              presentAlert("Quillbark Notifications",
                           "Please enable Notifications from Settings->Quillbark->Notifications->Allow Notifications",
                           "OK");
            cell.store(true);
            cell.afterChange(true);
          });
        });
    return;
  }
  store(on);
  afterChange(on);
}

void SettingsCell::afterChange(bool on) {
  auto& preferences = QuillbarkPersistentPreferences::sharedInstance();
  if (keyToCheck_ == "ShowIncompatiblePackages" || keyToCheck_ == "OriginalCydiaSourcesIcons") {
    preferences.setValue(Value(true), "NeedsFullRefresh");
    KVConnections::current("SettingsCell")->sources->refreshAllSources();
  } else if (keyToCheck_ == "LegacyIcon") {
    if (on) {
      preferences.setValue(Value(true), "LegacyIcon");
      preferences.saveToFile();
    }
    UIApplication::sharedApplication().setAlternateIconName(
        on ? std::optional<std::string>("LegacyIcon") : std::nullopt, [on](std::optional<std::string> error) {
          if (error) KVLog(on ? "ERROR: Could not set legacy icon." : "ERROR: Could not set modern icon.");
        });
  } else if (std::find(std::begin(kPaletteKeys), std::end(kPaletteKeys), keyToCheck_) != std::end(kPaletteKeys)) {
    if (on) {
      for (const char* other : kPaletteKeys)
        if (keyToCheck_ != other) preferences.setValue(Value(false), other);
      preferences.saveToFile();
    }
    KVPaletteManager::updatePaletteFromSettings();
  }
}
