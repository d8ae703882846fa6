#include <gtest/gtest.h>

#include "app/KVDatabaseMigrationUtilityLaunch.h"
#include "database/KVDatabaseMigrationUtility.h"
#include "foundation/Files.h"
#include "operations/KVAPTManager.h"
#include "store/Store.h"
#include "support/UIDriver.h"
#include "system/DeviceRoot.h"
#include "uikit/UIAlertController.h"
#include "uikit/UIViewController.h"

namespace {

TEST(DatabaseResetAtLaunch, TheAlertHasItsTitleMessageAndOneButton) {
  auto alert = KVDatabaseMigrationUtilityLaunch::didResetDatabaseAlert();
  EXPECT_EQ(alert->alertTitle(), "Reset Database");
  EXPECT_EQ(alert->message(), KVDatabaseMigrationUtility::didResetDatabaseMessage());
  ASSERT_EQ(alert->actions().size(), 1u);
  EXPECT_EQ(alert->actions()[0]->title(), "Ok");
  EXPECT_EQ(alert->actions()[0]->style(), UIAlertActionStyleDefault);
}

// At start-up an unreadable file is replaced and the "Reset Database" alert stands over
// the first screen until the user closes it; start-up goes on with the empty database.
TEST(DatabaseResetAtLaunch, TheAlertIsPresentedOverTheRootScreen) {
  UIDriver ui;
  auto home = std::make_shared<UIViewController>();
  home->setTitle("Home");
  ui.show(home);
  std::string support = DeviceRoot::devicePath(DeviceRoot::kApplicationSupport);
  ASSERT_TRUE(Files::createDirectories(support));
  ASSERT_TRUE(Files::writeAtomically(support + "/default.realm", std::string(16384, '\x5A')));

  bool refresh = true;
  EXPECT_FALSE(KVDatabaseMigrationUtilityLaunch::migrateDatabaseAtLaunch(ui.window().rootViewController(), &refresh));
  EXPECT_FALSE(refresh);
  EXPECT_TRUE(Files::exists(KVAPTManager::configurationPath())) << "the APT tree is made again";
  auto* alert = dynamic_cast<UIAlertController*>(home->presentedViewController());
  ASSERT_NE(alert, nullptr);
  EXPECT_EQ(alert->message(), KVDatabaseMigrationUtility::didResetDatabaseMessage());
  // The screen shows the blanks between the sentences as one.
  EXPECT_TRUE(ui.screenShows("alert: Reset Database\nDue to changes in the database schema, your database was not able "
                             "to be updated. Your database has been reset to prevent crashes. You can reimport your "
                             "sources from Quillbarks Settings page.\n[Ok]"))
      << ui.screen();
  EXPECT_TRUE(ui.tap("Ok"));
  EXPECT_EQ(home->presentedViewController(), nullptr);
  EXPECT_TRUE(ui.screenShows("title: Home"));
  EXPECT_EQ(store::Database::defaultDatabase()->objects("KVRSource").count(), 0u);

  // A readable file opens without an alert.
  EXPECT_TRUE(KVDatabaseMigrationUtilityLaunch::migrateDatabaseAtLaunch(ui.window().rootViewController(), &refresh));
  EXPECT_EQ(home->presentedViewController(), nullptr);
  store::Database::deleteFiles(support + "/default.realm");
  store::Database::setDefaultConfiguration({});
}

}  // namespace
