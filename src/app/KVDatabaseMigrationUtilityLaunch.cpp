#include "app/KVDatabaseMigrationUtilityLaunch.h"

#include "database/KVDatabaseMigrationUtility.h"
#include "foundation/LocalizedStrings.h"
#include "operations/KVAPTManager.h"
#include "uikit/UIAlertController.h"

namespace KVDatabaseMigrationUtilityLaunch {

bool migrateDatabaseAtLaunch(UIViewController* presenter, bool* shouldRefresh) {
  bool opened = KVDatabaseMigrationUtility::migrateDatabaseForced(false, shouldRefresh);
  KVAPTManager::createAPTSandboxIfNeeded();
  if (!opened && presenter) presenter->presentViewController(didResetDatabaseAlert(), true);
  return opened;
}

std::shared_ptr<UIAlertController> didResetDatabaseAlert() {
  auto alert = UIAlertController::alertControllerWithTitle(
      NSLocalizedString("Reset Database"), KVDatabaseMigrationUtility::didResetDatabaseMessage(),
      UIAlertControllerStyleAlert);
  alert->addAction(UIAlertAction::actionWithTitle(NSLocalizedString("Ok"), UIAlertActionStyleDefault));
  return alert;
}

}  // namespace KVDatabaseMigrationUtilityLaunch
