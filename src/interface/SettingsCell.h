#pragma once
// A row with a label and a switch bound to one preference key. Nothing in the
// application makes one today (the settings screen describes its switches as rows of
// its property list); it stays for screens laid out by hand. Its switch applies the
// keys that need more than a stored value: the authentication for package tasks asks
// the device owner first, error notifications ask for permission first, the palette
// switches exclude one another, the icon and refresh keys take effect at once.
#include <memory>
#include <string>

#include "system/UNUserNotificationCenter.h"
#include "uikit/UITableViewCell.h"

class NSLayoutConstraint;
class UISwitch;

class SettingsCell : public UITableViewCell, public UNUserNotificationCenterDelegate {
 public:
  explicit SettingsCell(UITableViewCellStyle style = UITableViewCellStyleDefault, std::string reuseIdentifier = {});
  ~SettingsCell() override;

  const std::string& keyToCheck() const { return keyToCheck_; }
  void setKeyToCheck(std::string key) { keyToCheck_ = std::move(key); }
  UILabel* optionLbl() const { return optionLbl_; }
  NSLayoutConstraint* optionLblWidthConstraint() const { return optionLblWidth_.get(); }
  UISwitch* optionSwitch() const { return optionSwitch_; }

  // The switch shows the stored preference.
  void setOptionState();
  // The switch's action.
  void switchAction();

 private:
  void store(bool on);
  void afterChange(bool on);
  void turnBack(bool on);

  std::string keyToCheck_;
  UILabel* optionLbl_ = nullptr;
  std::shared_ptr<NSLayoutConstraint> optionLblWidth_;
  UISwitch* optionSwitch_ = nullptr;
  UNUserNotificationCenterDelegate* previousDelegate_ = nullptr;
  bool isCentreDelegate_ = false;
};
