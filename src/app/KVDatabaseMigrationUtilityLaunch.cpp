#include "app/KVDatabaseMigrationUtilityLaunch.h"

#include "database/KVDatabaseMigrationUtility.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "operations/KVAPTManager.h"
#include "uikit/UIAlertController.h"

namespace KVDatabaseMigrationUtilityLaunch {

bool migrateDatabaseAtLaunch(UIViewController* presenter, bool* shouldRefresh) {
  bool opened = KVDatabaseMigrationUtility::migrateDatabaseForced(false, shouldRefresh);
  if (ErrorRef error = KVAPTManager::createAPTSandboxIfNeeded())
    KVLog("The APT tree could not be made: %s", error->localizedDescription().c_str());
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
