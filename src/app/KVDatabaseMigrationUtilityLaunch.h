#pragma once
// The database's start-up step, which needs the screens and the APT layer and so lives
// with the composition root rather than with the database.
#include <memory>

class UIAlertController;
class UIViewController;

namespace KVDatabaseMigrationUtilityLaunch {
// Migrates (never forced) and makes the APT layer's private tree again; when the file
// had to be reset, presents didResetDatabaseAlert() from `presenter` (the window's root
// screen), animated, and start-up goes on. Answers what the migration answered.
bool migrateDatabaseAtLaunch(UIViewController* presenter, bool* shouldRefresh);

// The alert "Reset Database" with its message and one "Ok" button.
std::shared_ptr<UIAlertController> didResetDatabaseAlert();
}  // namespace KVDatabaseMigrationUtilityLaunch
