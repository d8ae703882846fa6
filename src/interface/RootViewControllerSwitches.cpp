// The switches of the property-list screens bound to preference keys: the change itself
// with the keys it drags along, and the device owner's authentication in front of it.
#include "core/KVConnections.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "foundation/RunLoop.h"
#include "foundation/WeakSelf.h"
#include "interface/RootViewController.h"
#include "uikit/UIAlertController.h"
#include "uikit/UIApplication.h"
#include "uikit/UISwitch.h"

namespace {
constexpr const char* kAuthenticationReason =
    "Please authenticate yourself to activate FaceID / TouchID / Password authentication for packages management tasks";

void presentAuthenticationUnavailable() {
  auto alert = UIAlertController::alertControllerWithTitle(
      NSLocalizedString("Quillbark Authentication"),
      NSLocalizedString("Your device can't use FaceID, TouchID or password authentication at the moment. Most likely "
                        "you haven't set it up in Settings."),
      UIAlertControllerStyleAlert);
  alert->addAction(UIAlertAction::actionWithTitle(NSLocalizedString("Close"), UIAlertActionStyleCancel));
  if (UIViewController* top = UIApplication::sharedApplication().topPresenter()) top->presentViewController(alert, true);
}

std::vector<std::string> keysOf(const Value& row, const char* field) {
  std::vector<std::string> keys;
  if (auto* items = row[field].arrayPtr())
    for (const Value& key : *items)
      if (const std::string* text = key.stringPtr()) keys.push_back(*text);
  return keys;
}
}  // namespace

void RootViewController::controlDidChangeValue(UIControl& control) { controlDidChangeValue(control, KVAuthenticationNotAsked); }

void RootViewController::controlDidChangeValue(UIControl& control, KVAuthenticationState authentication) {
  if (!RunLoop::isMainThread()) {
    performOnMainThread([weak = weakSelf(this), control = control.weak_from_this(), authentication] {
      auto self = weak.lock();
      auto sender = std::dynamic_pointer_cast<UIControl>(control.lock());
      if (self && sender) self->controlDidChangeValue(*sender, authentication);
    });
    return;
  }
  auto change = switchChangeForControl(control);
  if (!change) return;
  if (authentication == KVAuthenticationNotAsked && change->row["requiresAuthentication"].asBool())
    return askOwnerBeforeApplying(std::move(*change));
  applySwitchChange(*change, authentication);
}

void RootViewController::authenticateBeforeApplyingChangesToControl(UIControl& control) {
  if (auto change = switchChangeForControl(control)) askOwnerBeforeApplying(std::move(*change));
}

std::optional<RootViewController::SwitchChange> RootViewController::switchChangeForControl(UIControl& control) const {
  auto* cell = dynamic_cast<UITableViewCell*>(control.superview());
  if (!cell || !tableView_) return std::nullopt;
  auto path = tableView_->indexPathForCell(cell);
  if (!path) return std::nullopt;
  auto* toggle = dynamic_cast<UISwitch*>(&control);
  return SwitchChange{dataForIndexPath(*path), *path, dataGeneration_, toggle && toggle->isOn()};
}

void RootViewController::askOwnerBeforeApplying(SwitchChange change) {
  auto authenticate = KVConnections::current("RootViewController")->environment.authenticateDeviceOwner;
  auto weak = weakSelf(this);
  // The reply is about the row as it was when the switch moved, whatever the table shows
  // by the time it comes.
  authenticate(NSLocalizedString(kAuthenticationReason), [weak, change](KVOwnerAuthentication outcome) {
    bool passed = outcome == KVOwnerAuthentication::Succeeded;
    KVLog("success %d, error: %s", passed ? 1 : 0,
          passed ? "(null)"
                 : outcome == KVOwnerAuthentication::Failed ? "the device owner did not authenticate"
                                                            : "no authentication is set up on this device");
    performOnMainThread([weak, change, outcome, passed] {
      auto self = weak.lock();
      if (!self) return;
      self->applySwitchChange(change, passed ? KVAuthenticationPassed : KVAuthenticationFailed);
      if (outcome == KVOwnerAuthentication::Unavailable) presentAuthenticationUnavailable();
    });
  });
}

bool RootViewController::rowStillBound(const SwitchChange& change) const {
  return change.generation == dataGeneration_ && dataForIndexPath(change.path) == change.row;
}

void RootViewController::applySwitchChange(const SwitchChange& change, KVAuthenticationState authentication) {
  if (!rowStillBound(change)) {
    KVLog("A switch change was dropped: its row is no longer on the screen");
    return;
  }
  if (authentication == KVAuthenticationFailed) {
    // The switch shows the stored preference again.
    reloadRow(change.path);
    return;
  }
  const Value& row = change.row;
  auto& preferences = QuillbarkPersistentPreferences::sharedInstance();
  if (const std::string* key = row["prefsKey"].stringPtr()) {
    preferences.setValue(Value(change.on), *key);
    showSwitchState(*key, change.on);
  }
  for (const auto& key : keysOf(row, "disablesKeys")) {
    preferences.setValue(Value(false), key);
    showSwitchState(key, false);
  }
  for (const auto& key : keysOf(row, "enableKeys")) {
    preferences.setValue(Value(true), key);
    showSwitchState(key, true);
  }
  for (const auto& key : keysOf(row, "additionalKeys")) {
    preferences.setValue(Value(change.on), key);
    showSwitchState(key, change.on);
  }
  for (const auto& key : keysOf(row, "invertedAdditionalKeys")) {
    // Stored as the integers 0 and 1, not as YES and NO.
    preferences.setValue(Value(change.on ? 0 : 1), key);
    showSwitchState(key, !change.on);
  }
  if (row["requiresReloadSection"].asBool() && tableView_)
    tableView_->reloadRowsAtIndexPaths(tableView_->indexPathsForVisibleRows(), UITableViewRowAnimationNone);
  if (const std::string* callback = row["callback"].stringPtr()) performSelector(*callback);
}

void RootViewController::showSwitchState(const std::string& key, bool on) {
  auto path = indexPathForPrefsKey(key);
  if (!path || !tableView_) return;
  if (auto cell = tableView_->cellForRowAtIndexPath(*path))
    if (auto* toggle = dynamic_cast<UISwitch*>(cell->accessoryView().get())) toggle->setOn(on);
}

void RootViewController::reloadRow(const NSIndexPath& path) {
  if (tableView_) tableView_->reloadRowsAtIndexPaths({path}, UITableViewRowAnimationNone);
}
